// The production HTTP transport over real loopback sockets against the
// stand-in server: answers of every status reach the caller, and each way a
// request can end without an answer is told apart.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QHostAddress>
#include <QUrl>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "callback_port.hpp"
#include "event_loop_wait.hpp"
#include "neighbour_sockets.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "shared/numeric_host.hpp"
#include "shared/service_address.hpp"
#include "stub_process.hpp"

namespace mivo {
namespace {

using linux_desktop::QtHttpTransport;
using testing::Answer;
using testing::StubProcess;

// A loopback port nobody listens on: bound, then released.
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class QtHttpTransportTest : public ::testing::Test {
  protected:
    HttpRequest get(const std::string& path) const {
        HttpRequest r;
        r.url = stub.baseURL() + path;
        return r;
    }
    HttpResult run(HttpRequest request) {
        Answer<HttpResult> answer;
        transport.send(std::move(request), answer.callback());
        EXPECT_TRUE(answer.wait());
        EXPECT_EQ(answer.calls, 1);
        return answer.value.value_or(std::unexpected(HttpFailure{}));
    }
    HttpFailureKind failureKind(HttpRequest request) {
        const auto result = run(std::move(request));
        EXPECT_FALSE(result.has_value());
        return result ? HttpFailureKind::other : result.error().kind;
    }

    StubProcess stub;
    QtHttpTransport transport;
};

TEST_F(QtHttpTransportTest, AnswersOfEveryStatusReachTheCaller) {
    stub.script({{"/teapot", {{"status", 418}, {"body", "short and stout"}}}});
    const auto ok = run(get("/v1/health"));
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->header("CONTENT-TYPE"), "application/json");
    EXPECT_EQ(nlohmann::json::parse(ok->body)["status"], "ok");

    const auto teapot = run(get("/teapot"));
    ASSERT_TRUE(teapot.has_value());
    EXPECT_EQ(teapot->status, 418);
    EXPECT_EQ(teapot->body, "short and stout");
}

TEST_F(QtHttpTransportTest, SendsMethodHeadersBodyAndPathAsGiven) {
    HttpRequest r = get("//v1/me");
    r.method = "POST";
    r.headers = {{"Content-Type", "application/json"}, {"X-Mivo-Device-Id", "abc"}};
    r.body = R"({"a":"日本語"})";
    ASSERT_TRUE(run(r).has_value());

    const auto logged = stub.requests();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0]["method"], "POST");
    EXPECT_EQ(logged[0]["path"], "//v1/me");
    EXPECT_EQ(logged[0]["headers"]["x-mivo-device-id"], "abc");
    EXPECT_EQ(logged[0]["headers"]["content-type"], "application/json");
    EXPECT_EQ(logged[0]["body"], R"({"a":"日本語"})");
}

TEST_F(QtHttpTransportTest, APostWithoutBodySendsNoContentType) {
    HttpRequest r = get("/v1/auth/logout");
    r.method = "POST";
    const auto result = run(r);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->status, 401);
    const auto logged = stub.requestsTo("/v1/auth/logout");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_FALSE(logged[0]["headers"].contains("content-type"));
    EXPECT_EQ(logged[0]["body"], "");
}

TEST_F(QtHttpTransportTest, ARedirectIsAnAnswerNotFollowed) {
    stub.script({{"/moved", {{"status", 302}, {"body", ""}}}});
    // The stub's scripted answers carry no Location; its sign-in page does.
    const testing::CallbackPort callback;
    const auto start =
        stub.send("POST", "/v1/auth/desktop/start",
                  nlohmann::json{{"device_nonce", "0123456789ABCDEF0123456789abcdef"},
                                 {"callback_port", callback.port()}}
                      .dump());
    ASSERT_TRUE(start.has_value());
    const std::string authUrl = nlohmann::json::parse(start->body)["auth_url"];
    HttpRequest r;
    r.url = authUrl;
    const auto result = run(r);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->status, 302);
    EXPECT_THAT(
        result->header("location").value_or(""),
        ::testing::StartsWith("http://127.0.0.1:" + std::to_string(callback.port()) + "/?grant="));
    EXPECT_TRUE(stub.requestsTo("/").empty());
}

TEST_F(QtHttpTransportTest, EachEndingWithoutAnswerIsToldApart) {
    stub.script({{"/dropped", {{"drop", true}}}, {"/slow", {{"delay", 30}, {"times", 0}}}});

    HttpRequest refused;
    refused.url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/v1/health";
    EXPECT_EQ(failureKind(refused), HttpFailureKind::offline);

    EXPECT_EQ(failureKind(get("/dropped")), HttpFailureKind::offline);
    // Reported, never sent again behind the caller's back.
    EXPECT_EQ(stub.requestsTo("/dropped").size(), 1u);

    HttpRequest total = get("/slow");
    total.totalTimeoutSeconds = 0.3;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(failureKind(total), HttpFailureKind::timeout);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));

    HttpRequest idle = get("/slow");
    idle.idleTimeoutSeconds = 0.3;
    EXPECT_EQ(failureKind(idle), HttpFailureKind::timeout);

    HttpRequest notAnAddress;
    notAnAddress.url = "/v1/health";
    const auto invalid = run(notAnAddress);
    ASSERT_FALSE(invalid.has_value());
    EXPECT_EQ(invalid.error().kind, HttpFailureKind::other);
    EXPECT_EQ(invalid.error().code, 0);
}

// Tokens go out in the clear only to what this transport really connects
// to on this machine. The address rule reads a host's number itself (the
// rule lives below Qt); here its reading is held against Qt's, host by
// host: the same address, or a name to both. A host Qt reads as a name it
// looks up in the hosts file and DNS, which may lead anywhere.
TEST_F(QtHttpTransportTest, TheAddressRuleReadsHostsAsTheTransportDoes) {
    const char* hosts[] = {
        "127.0.0.1",   "127.000.000.001", "127.0.0.01", "127.00.0.1",     "127.0.0.010",
        "127.1",       "127.0.1",         "0x7f.0.0.1", "0X7F.1",         "0177.0.0.1",
        "2130706433",  "017700000001",    "0x7f000001", "127.0.0.0x1",    "127.0xff.0.1",
        "00127.0.0.1", "128.0.0.1",       "127.0.0.08", "127.0.0.09",     "0128.0.0.1",
        "127.0.0.1.",  "127.0.0.256",     "127.0.0.0x", "127.4294967297", "1.2.3.4.5",
        "0x.0.0.1",    "127.0.0.1e",      "localhost",  "evil.example",   "127.0.0.1.evil.example",
    };
    for (const char* host : hosts) {
        SCOPED_TRACE(host);
        const QUrl url(QString("http://") + host + ":8080/");
        ASSERT_TRUE(url.isValid());
        // As the transport connects: to an address when Qt reads one.
        QHostAddress qt;
        const bool number =
            qt.setAddress(url.host()) && qt.protocol() == QHostAddress::IPv4Protocol;
        const auto ours = readIPv4Host(host);
        EXPECT_EQ(ours.has_value(), number);
        if (ours && number) {
            EXPECT_EQ(*ours, qt.toIPv4Address());
        }
        EXPECT_EQ(isHttpsOrLoopbackHttp(std::string("http://") + host + ":8080/"),
                  number && qt.isLoopback());
    }
    // Spellings the rule leaves to Qt alone are refused, whatever Qt reads.
    for (const char* host :
         {"\uFF11\uFF12\uFF17.0.0.1", "127.0.0.%31", "127.+1.0.1", "127. 0.0.1"}) {
        SCOPED_TRACE(host);
        EXPECT_FALSE(isHttpsOrLoopbackHttp(std::string("http://") + host + ":8080/"));
    }
    // Addresses Qt does not read at all are refused by the rule as well,
    // so the user hears why at start instead of a failure at each request.
    for (const char* address :
         {"http://127.0.0.1:123456/", "http://127.0.0.1:65536/", "http://127.0.0.1:80a/",
          "http://127.0.0.1:evil.test:8080/", "http://a@b@127.0.0.1:8080/", "http://[::1]x:8080/",
          "http://[::1]]/", "http://127.0.0.1::8080/", "https://mivo.example:99999/"}) {
        SCOPED_TRACE(address);
        EXPECT_FALSE(QUrl(address).isValid());
        EXPECT_FALSE(isHttpsOrLoopbackHttp(address));
    }
    // And the stand-in on 127.0.0.1 answers the long spelling.
    const auto port = stub.baseURL().substr(stub.baseURL().rfind(':'));
    HttpRequest longForm;
    longForm.url = "http://127.000.000.001" + port + "/v1/health";
    ASSERT_TRUE(isHttpsOrLoopbackHttp(longForm.url));
    const auto answered = run(longForm);
    ASSERT_TRUE(answered.has_value());
    EXPECT_EQ(answered->status, 200);
}

// Whether something accepts connections on 127.0.0.1:`port`.
bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// An https address whose server shows a self-signed certificate, made and
// served by the openssl program: the failure names the certificate.
TEST_F(QtHttpTransportTest, AnUntrustedCertificateIsNamed) {
    const std::string key = stub.folder() + "/key.pem";
    const std::string certificate = stub.folder() + "/certificate.pem";
    const std::string make =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
        "-nodes -days 1 -subj /CN=mivo.test -keyout '" +
        key + "' -out '" + certificate + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0)
        GTEST_SKIP() << "the openssl program cannot make a certificate here";
    const std::string port = std::to_string(closedPort());
    // Made before the fork: the child only opens, duplicates and executes.
    const std::string accept = "127.0.0.1:" + port;
    const pid_t server = fork();
    if (server == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, STDIN_FILENO);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execlp("openssl", "openssl", "s_server", "-accept", accept.c_str(), "-cert",
               certificate.c_str(), "-key", key.c_str(), "-www", nullptr);
        _exit(127);
    }
    for (int tries = 0; tries < 100 && !accepts(std::stoi(port)); ++tries)
        testing::runEventLoopFor(0.05);
    HttpRequest secure;
    secure.url = "https://127.0.0.1:" + port + "/";
    const auto result = run(secure);
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, HttpFailureKind::untrustedCertificate);
    EXPECT_THAT(result.error().detail,
                ::testing::StartsWith("the certificate \u201Cmivo.test\u201D issued by "
                                      "\u201Cmivo.test\u201D is not trusted: "));
}

// A listener on a free port of a loopback `address` ("127.0.0.2", "::1",
// "0.0.0.0"), which takes connections and keeps what they send.
struct Eavesdropper {
    explicit Eavesdropper(const std::string& address) {
        const bool six = address.find(':') != std::string::npos;
        fd = socket(six ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_storage storage{};
        socklen_t length = six ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (six) {
            auto& in6 = reinterpret_cast<sockaddr_in6&>(storage);
            in6.sin6_family = AF_INET6;
            inet_pton(AF_INET6, address.c_str(), &in6.sin6_addr);
        } else {
            auto& in = reinterpret_cast<sockaddr_in&>(storage);
            in.sin_family = AF_INET;
            inet_pton(AF_INET, address.c_str(), &in.sin_addr);
        }
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&storage), length), 0);
        EXPECT_EQ(listen(fd, 4), 0);
        getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
        port = ntohs(six ? reinterpret_cast<sockaddr_in6&>(storage).sin6_port
                         : reinterpret_cast<sockaddr_in&>(storage).sin_port);
    }
    ~Eavesdropper() {
        for (int client : clients)
            close(client);
        close(fd);
    }
    // Takes what has arrived since the last call.
    void collect() {
        for (int client; (client = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;)
            clients.push_back(client);
        char buffer[4096];
        for (int client : clients)
            for (ssize_t n; (n = recv(client, buffer, sizeof buffer, 0)) > 0;)
                heard.append(buffer, static_cast<std::size_t>(n));
    }

    int fd = -1;
    int port = 0;
    std::vector<int> clients;
    std::string heard;
};

// Any user of the machine may listen on a loopback address, at a port the
// user's own service has left: plain http goes only to the user's own
// program, whatever address and spelling lead there, and the words name it.
TEST_F(QtHttpTransportTest, PlainHttpToLoopbackGoesOnlyToTheUsersOwnProgram) {
    struct Row {
        const char* what;
        const char* listensOn;
        const char* written;  // the host in the address
        const char* connectedTo;
        bool anotherUser;
    };
    const Row rows[] = {
        {"another user on 127.0.0.2", "127.0.0.2", "127.0.0.2", "127.0.0.2", true},
        {"another user on 127.0.0.8, written as 127.0.0.010", "127.0.0.8", "127.0.0.010",
         "127.0.0.8", true},
        {"another user on the port the user's service left on 127.0.0.1", "127.0.0.1", "127.0.0.1",
         "127.0.0.1", true},
        {"another user on every address, reached at 127.0.0.3", "0.0.0.0", "127.0.0.3", "127.0.0.3",
         true},
        {"another user on [::1]", "::1", "[::1]", "[::1]", true},
        {"the user's own program on 127.0.0.2", "127.0.0.2", "127.0.0.2", "127.0.0.2", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<Eavesdropper> listener;
        if (row.anotherUser) {
            testing::AsAnotherUser other;
            listener = std::make_unique<Eavesdropper>(row.listensOn);
        } else {
            listener = std::make_unique<Eavesdropper>(row.listensOn);
        }
        const std::string port = std::to_string(listener->port);
        HttpRequest refresh;
        refresh.method = "POST";
        refresh.url = std::string("http://") + row.written + ":" + port + "/v1/auth/refresh";
        refresh.headers = {{"Content-Type", "application/json"}};
        refresh.body = R"({"refresh_token":"rt-of-the-user"})";
        Answer<HttpResult> answer;
        Cancel handle = transport.send(refresh, answer.callback());
        ASSERT_TRUE(testing::runEventLoopUntil([&] {
            listener->collect();
            return answer.calls > 0 || listener->heard.find("rt-of-the-user") != std::string::npos;
        }));
        handle.cancel();
        testing::runEventLoopFor(0.05);
        listener->collect();
        if (!row.anotherUser) {
            EXPECT_NE(listener->heard.find("rt-of-the-user"), std::string::npos);
            continue;
        }
        EXPECT_EQ(listener->heard, "");
        ASSERT_TRUE(answer.value.has_value());
        ASSERT_FALSE(answer.value->has_value());
        EXPECT_EQ(answer.value->error().kind, HttpFailureKind::foreignListener);
        EXPECT_EQ(answer.value->error().detail,
                  std::string("another program, not yours, answers at http://") + row.connectedTo +
                      ":" + port);
    }
}

TEST_F(QtHttpTransportTest, AnswersArriveOnTheLoopNeverInsideTheCall) {
    HttpRequest notAnAddress;
    notAnAddress.url = "";
    Answer<HttpResult> invalid;
    transport.send(notAnAddress, invalid.callback());
    EXPECT_EQ(invalid.calls, 0);
    EXPECT_TRUE(invalid.wait());

    stub.script({{"/slow", {{"delay", 30}}}});
    Answer<HttpResult> cancelled;
    Cancel handle = transport.send(get("/slow"), cancelled.callback());
    ASSERT_TRUE(testing::runEventLoopUntil([&] { return !stub.requestsTo("/slow").empty(); }));
    handle.cancel();
    EXPECT_EQ(cancelled.calls, 0);
    ASSERT_TRUE(cancelled.wait());
    ASSERT_FALSE(cancelled.value->has_value());
    // A cancel is not a time-out, although the library aborts both alike.
    EXPECT_EQ(cancelled.value->error().kind, HttpFailureKind::cancelled);
    handle.cancel();
    testing::runEventLoopFor(0.2);
    EXPECT_EQ(cancelled.calls, 1);
    EXPECT_EQ(transport.inFlightCount(), 0u);
}

TEST_F(QtHttpTransportTest, ATransportGoneAbandonsItsRequestsSilently) {
    stub.script({{"/slow", {{"delay", 30}}}});
    Answer<HttpResult> answer;
    {
        QtHttpTransport shortLived;
        shortLived.send(get("/slow"), answer.callback());
        ASSERT_TRUE(testing::runEventLoopUntil([&] { return !stub.requestsTo("/slow").empty(); }));
    }
    testing::runEventLoopFor(0.3);
    EXPECT_EQ(answer.calls, 0);
}

}  // namespace
}  // namespace mivo
