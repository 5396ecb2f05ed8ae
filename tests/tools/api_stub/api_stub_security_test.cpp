// The stand-in as other users of the machine and a restart see it: control
// routes only for the holder of the secret, a request log that is bounded and
// holds no whole token, and an account book that outlives the process.

#include <gmock/gmock.h>
#include <httplib.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "api_stub.hpp"
#include "callback_port.hpp"
#include "stub_process.hpp"
#include "stub_sign_in.hpp"

namespace mivo {
namespace {

using nlohmann::json;
using testing::kNonce;
using testing::SignedIn;
using testing::signIn;
using testing::statusOf;
using testing::StubProcess;
namespace fs = std::filesystem;

int meStatus(const StubProcess& stub, const std::string& token) {
    return stub.send("GET", "/v1/me", "", {{"Authorization", "Bearer " + token}})->status;
}

unsigned modeOf(const fs::path& path) {
    struct stat s {};
    return ::stat(path.c_str(), &s) == 0 ? (s.st_mode & 0777) : 0;
}

TEST(ApiStubControl, OnlyTheHolderOfTheSecretSteersTheStub) {
    StubProcess stub;
    const SignedIn tokens = signIn(stub);
    struct Row {
        const char* method;
        const char* path;
        std::string body;
    };
    const Row rows[] = {
        {"GET", "/dev/requests", ""},
        {"DELETE", "/dev/requests", ""},
        {"POST", "/dev/script", R"({"/v1/rewrite/convert":{"status":200,"body":{"x":1}}})"},
        {"DELETE", "/dev/script", ""},
        {"POST", "/dev/config", R"({"callback_port":4444})"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.method) + " " + row.path);
        for (const std::string& presented :
             {std::string(), std::string(64, '0'), std::string("x")}) {
            std::map<std::string, std::string> headers;
            if (!presented.empty())
                headers["X-Mivo-Stub-Secret"] = presented;
            const auto reply = stub.sendAsStranger(row.method, row.path, row.body, headers);
            ASSERT_TRUE(reply.has_value());
            EXPECT_EQ(reply->status, 403);
            EXPECT_EQ(reply->body.find(tokens.access), std::string::npos);
        }
    }
    // Nothing a stranger sent took effect: the log still holds the sign-in,
    // the sign-in page still sends the browser to the port that asked.
    EXPECT_EQ(stub.requestsTo("/v1/auth/desktop/exchange").size(), 1u);
    const testing::CallbackPort callback;
    const auto start =
        stub.send("POST", "/v1/auth/desktop/start",
                  json{{"device_nonce", kNonce}, {"callback_port", callback.port()}}.dump());
    const std::string authUrl = json::parse(start->body)["auth_url"];
    const auto page = stub.sendAsStranger("GET", authUrl.substr(stub.baseURL().size()));
    ASSERT_EQ(statusOf(page), 302);
    EXPECT_THAT(
        page->headers.at("Location"),
        ::testing::StartsWith("http://127.0.0.1:" + std::to_string(callback.port()) + "/?grant="));
    // The secret is the test's alone.
    EXPECT_EQ(modeOf(fs::path(stub.folder()) / "control-secret"), 0600u);
}

// Started as run.sh starts it, without a secret file: no control routes at
// all, while the service itself answers.
TEST(ApiStubControl, WithoutASecretFileTheControlRoutesAreOff) {
    stub::StubOptions options;
    options.port = 0;
    stub::ApiStub server(options);
    ASSERT_FALSE(server.openFiles().has_value());
    const auto port = server.bind();
    ASSERT_TRUE(port.has_value());
    std::thread serving([&] { server.run(); });
    httplib::Client client("127.0.0.1", *port);
    client.set_connection_timeout(5);
    client.set_read_timeout(30);
    EXPECT_EQ(client.Get("/v1/health")->status, 200);
    const httplib::Headers guess{{"X-Mivo-Stub-Secret", ""}};
    EXPECT_EQ(client.Get("/dev/requests", guess)->status, 404);
    EXPECT_EQ(
        client.Post("/dev/config", guess, R"({"callback_port":4444})", "application/json")->status,
        404);
    EXPECT_EQ(client.Post("/dev/script", R"({})", "application/json")->status, 404);
    server.stop();
    serving.join();
}

TEST(ApiStubLog, TheLogHoldsNoWholeTokenAndOnlyTheNewestRequests) {
    StubProcess stub;
    const SignedIn tokens = signIn(stub);
    ASSERT_EQ(meStatus(stub, tokens.access), 200);
    const auto renewed =
        stub.send("POST", "/v1/auth/refresh", json{{"refresh_token", tokens.refresh}}.dump());
    ASSERT_EQ(renewed->status, 200);
    const std::string newAccess = json::parse(renewed->body)["access_token"];
    stub.send("POST", "/v1/auth/logout", "", {{"Authorization", "Bearer " + newAccess}});
    const std::string log = stub.requests().dump();
    for (const std::string& secret : {tokens.grant, tokens.access, tokens.refresh, newAccess}) {
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
        EXPECT_NE(log.find(StubProcess::inLog(secret)), std::string::npos) << secret;
    }

    // 300 requests of 100 kB: the oldest go, the newest stay, in order.
    const std::string big(100'000, 'x');
    for (int i = 0; i < 300; ++i)
        stub.send("POST", "/v1/nowhere/" + std::to_string(i), big);
    const json kept = stub.requests();
    ASSERT_FALSE(kept.empty());
    EXPECT_LE(kept.size(), 256u);
    EXPECT_LT(kept.size(), 300u);
    EXPECT_EQ(kept.back()["path"], "/v1/nowhere/299");
    std::size_t bytes = 0;
    for (const auto& r : kept)
        bytes += r["body"].get<std::string>().size();
    EXPECT_LE(bytes, 16u << 20);
}

// run.sh starts a new stand-in on each run: the sign-in of the last run must
// still be good, and the book is the user's alone.
TEST(ApiStubAccounts, ASignInOutlivesARestartWithTheBook) {
    StubProcess folderOwner;  // a private folder for the book
    const fs::path book = fs::path(folderOwner.folder()) / "state" / "accounts.json";
    SignedIn tokens;
    {
        StubProcess first({"--accounts-file", book.string()});
        tokens = signIn(first);
    }
    EXPECT_EQ(modeOf(book), 0600u);
    EXPECT_EQ(modeOf(book.parent_path()), 0700u);
    std::ifstream in(book);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.find(tokens.access), std::string::npos);
    EXPECT_EQ(text.find(tokens.refresh), std::string::npos);

    StubProcess second({"--accounts-file", book.string()});
    EXPECT_EQ(meStatus(second, tokens.access), 200);
    const auto renewed =
        second.send("POST", "/v1/auth/refresh", json{{"refresh_token", tokens.refresh}}.dump());
    EXPECT_EQ(renewed->status, 200);
    // Rotation holds across the restart too: the spent token stays spent
    // once its one reuse for a lost answer is gone.
    const auto reuse = [&] {
        return second
            .send("POST", "/v1/auth/refresh", json{{"refresh_token", tokens.refresh}}.dump())
            ->status;
    };
    EXPECT_EQ(reuse(), 200);
    EXPECT_EQ(reuse(), 401);
    // Without the book, a new stand-in knows nobody (as before).
    StubProcess forgetful;
    EXPECT_EQ(meStatus(forgetful, tokens.access), 401);
}

TEST(ApiStubAccounts, KeepAccountsUsesTheStateFolderAndSetsABrokenBookAside) {
    StubProcess folderOwner;
    const fs::path state = fs::path(folderOwner.folder()) / "xdg-state";
    const char* before = std::getenv("XDG_STATE_HOME");
    const std::string saved = before ? before : "";
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    const fs::path book = state / "mivo" / "api-stub" / "accounts.json";
    {
        StubProcess first({"--keep-accounts"});
        signIn(first);
    }
    EXPECT_EQ(modeOf(book), 0600u);
    {
        std::ofstream(book, std::ios::trunc) << "{not a book";
        StubProcess second({"--keep-accounts"});
        EXPECT_EQ(second.send("GET", "/v1/health")->status, 200);
    }
    EXPECT_TRUE(fs::exists(book.string() + ".broken"));
    if (before)
        ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace mivo
