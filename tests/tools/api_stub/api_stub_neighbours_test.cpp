// The stand-in beside its neighbours: another process of the user's, a web
// page in the user's browser, or another user of the machine. Whatever they
// send, the user's sign-in survives, the grant goes to no one else's
// listener, and the stand-in's memory stays small; where users cannot be
// told apart, it does not start.

#include <gmock/gmock.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "callback_port.hpp"
#include "neighbour_sockets.hpp"
#include "stub_process.hpp"
#include "stub_sign_in.hpp"

namespace mivo {
namespace {

using nlohmann::json;
using testing::AsAnotherUser;
using testing::kNonce;
using testing::Listener;
using testing::listenOnceFree;
using testing::sendAndHangUp;
using testing::SignedIn;
using testing::signIn;
using testing::statusAfterSending;
using testing::statusOf;
using testing::StubProcess;
using testing::StubReply;
using testing::Trickle;

// Built with ASan, whose quarantine keeps what the stub frees for a while
// on purpose: its peak memory says nothing about the stub's.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// A nonce of its own for each of a neighbour's sign-ins.
std::string nonceNumber(int i) {
    char text[33];
    std::snprintf(text, sizeof text, "%032X", i);
    return text;
}

// The path of a sign-in page (the auth URL without the stub's address): the
// request id in it is on xdg-open's command line, for every user to read.
std::string startSignIn(const StubProcess& stub, const std::string& nonce, int callback = 9999) {
    const auto start =
        stub.sendAsStranger("POST", "/v1/auth/desktop/start",
                            json{{"device_nonce", nonce}, {"callback_port", callback}}.dump());
    if (statusOf(start) != 200)
        return {};
    return json::parse(start->body)["auth_url"].get<std::string>().substr(stub.baseURL().size());
}

std::string grantIn(const std::optional<StubReply>& page) {
    if (statusOf(page) != 302)
        return {};
    const std::string location = page->headers.at("Location");
    return location.substr(location.find("grant=") + 6);
}

std::optional<StubReply> exchange(const StubProcess& stub, const std::string& grant,
                                  const std::string& nonce) {
    return stub.sendAsStranger("POST", "/v1/auth/desktop/exchange",
                               json{{"grant", grant}, {"device_nonce", nonce}}.dump());
}

bool isJsonError(const std::optional<StubReply>& reply) {
    return reply && json::parse(reply->body, nullptr, false).contains("error");
}

// How many of `count` requests another user's process got an answer to.
int answeredOf(int count, const std::function<std::optional<StubReply>(int)>& send) {
    int answered = 0;
    for (int i = 0; i < count; ++i)
        answered += send(i).has_value() ? 1 : 0;
    return answered;
}

// What a web page in the user's browser sends: the user's own requests,
// with the page's address (Host), its origin (none: empty) and the type of
// body it may send. How many of its 300 sign-in starts were served.
int pageStartsServed(const StubProcess& stub, const std::string& host, const std::string& origin,
                     const std::string& contentType) {
    std::map<std::string, std::string> headers{{"Host", host}, {"Content-Type", contentType}};
    if (!origin.empty())
        headers["Origin"] = origin;
    int served = 0;
    for (int i = 0; i < 300; ++i) {
        const std::string body =
            R"({"device_nonce":")" + nonceNumber(i) + R"(","callback_port":7777,"form":"="})";
        served +=
            statusOf(stub.sendAsStranger("POST", "/v1/auth/desktop/start", body, headers)) == 200;
    }
    return served;
}

// A neighbour against the user, who is signed in and has a second sign-in
// waiting for the browser (its page's path is all the neighbour needs of
// it). The neighbour is another process of the user's, which reaches every
// shared limit but none of the user's tokens; a web page in the user's
// browser, whose requests are the user's own but carry the page's address
// and origin; or another user of the machine, whose connections are closed
// unread. Whatever the neighbour sends, the user's session still answers and
// renews, the browser still finishes the sign-in, and the stand-in's memory
// stays small.
TEST(ApiStubNeighbours, TheUsersSignInOutlastsWhatAnotherUserSends) {
    enum class Who {
        ownProcess,
        anotherUser,
        // Acts as the user, and as another user where it says so.
        anotherUserAmidTheUsers,
    };
    struct Row {
        const char* does;
        // What the neighbour sends; what it returns keeps it going while the
        // user is checked.
        std::function<std::shared_ptr<void>(const StubProcess&, const std::string& page)> act;
        // The user's exchange of the waiting sign-in.
        int exchanged = 200;
        // The user's start of one more sign-in.
        int started = 200;
        Who who = Who::ownProcess;
    };
    const auto unanswered = [](const char* does, auto send) {
        return Row{does,
                   [send](const StubProcess& stub, const std::string& page) {
                       EXPECT_EQ(answeredOf(300, [&](int i) { return send(stub, page, i); }), 0);
                       return std::shared_ptr<void>();
                   },
                   200, 200, Who::anotherUser};
    };
    const auto page = [](const char* does, const char* host, const char* origin,
                         const char* contentType) {
        return Row{does, [=](const StubProcess& stub, const std::string&) {
                       const std::string port = std::to_string(stub.port());
                       EXPECT_EQ(pageStartsServed(stub, host + port, *origin ? origin + port : "",
                                                  contentType),
                                 0);
                       return nullptr;
                   }};
    };
    // A sign-in of the user's whose callback port `listener` holds: the
    // browser is not sent there with the grant.
    const auto calledBackTo = [](const char* does,
                                 std::function<std::shared_ptr<Listener>()> listen,
                                 Who who = Who::anotherUserAmidTheUsers) {
        return Row{does,
                   [listen](const StubProcess& stub, const std::string&) {
                       const auto listener = listen();
                       const auto start = stub.send(
                           "POST", "/v1/auth/desktop/start",
                           json{{"device_nonce", nonceNumber(2)}, {"callback_port", listener->port}}
                               .dump());
                       EXPECT_EQ(statusOf(start), 200);
                       if (statusOf(start) == 200) {
                           const std::string url = json::parse(start->body)["auth_url"];
                           const auto browser = stub.send("GET", url.substr(stub.baseURL().size()));
                           EXPECT_EQ(statusOf(browser), 409);
                           EXPECT_EQ(grantIn(browser), "");
                       }
                       return nullptr;
                   },
                   200, 200, who};
    };
    const Row rows[] = {
        {"starts 40 sign-ins with a 1 MB nonce",
         [](const StubProcess& stub, const std::string&) {
             const std::string body = json{
                 {"device_nonce", std::string(1'000'000, 'a')},
                 {"callback_port", 9999}}.dump();
             for (int i = 0; i < 40; ++i) {
                 const auto reply = stub.sendAsStranger("POST", "/v1/auth/desktop/start", body);
                 EXPECT_EQ(statusOf(reply), 400);
             }
             return nullptr;
         }},
        {"starts 300 sign-ins and leaves them",
         [](const StubProcess& stub, const std::string&) {
             int refused = 0;
             for (int i = 0; i < 300; ++i) {
                 const auto reply = stub.sendAsStranger(
                     "POST", "/v1/auth/desktop/start",
                     json{{"device_nonce", nonceNumber(i)}, {"callback_port", 9999}}.dump());
                 if (statusOf(reply) == 429 && isJsonError(reply))
                     ++refused;
             }
             EXPECT_GT(refused, 0);
             return nullptr;
         },
         200, 429},
        {"finishes 300 sign-ins",
         [](const StubProcess& stub, const std::string&) {
             const testing::CallbackPort callback;
             int refused = 0;
             for (int i = 0; i < 300; ++i) {
                 const std::string page = startSignIn(stub, nonceNumber(i), callback.port());
                 const auto reply =
                     exchange(stub, grantIn(stub.sendAsStranger("GET", page)), nonceNumber(i));
                 if (statusOf(reply) == 429 && isJsonError(reply))
                     ++refused;
             }
             EXPECT_GT(refused, 0);
             return nullptr;
         },
         429},
        {"opens the user's sign-in page first",
         [](const StubProcess& stub, const std::string& page) {
             const std::string grant = grantIn(stub.sendAsStranger("GET", page));
             EXPECT_FALSE(grant.empty());
             const auto stolen = exchange(stub, grant, nonceNumber(7));
             EXPECT_EQ(statusOf(stolen), 400);
             return nullptr;
         }},
        {"trickles 200 request heads",
         [](const StubProcess& stub, const std::string&) {
             return std::make_shared<Trickle>(stub.port(), 200);
         }},
        // Just within the time-out of each read, for longer than a request
        // may take.
        {"trickles 300 request heads a byte every 0.9 s",
         [](const StubProcess& stub, const std::string&) {
             return std::make_shared<Trickle>(stub.port(), 300, std::chrono::milliseconds(900));
         }},
        {"as another user, trickles 300 request heads a byte every 0.9 s",
         [](const StubProcess& stub, const std::string&) {
             return std::make_shared<Trickle>(stub.port(), 300, std::chrono::milliseconds(900));
         },
         200, 200, Who::anotherUser},
        unanswered("as another user, starts 300 sign-ins",
                   [](const StubProcess& stub, const std::string&, int i) {
                       return stub.sendAsStranger(
                           "POST", "/v1/auth/desktop/start",
                           json{{"device_nonce", nonceNumber(i)}, {"callback_port", 9999}}.dump());
                   }),
        unanswered("as another user, finishes 300 sign-ins",
                   [](const StubProcess& stub, const std::string&, int i) {
                       const std::string page = startSignIn(stub, nonceNumber(i));
                       if (page.empty())
                           return std::optional<StubReply>();
                       return exchange(stub, grantIn(stub.sendAsStranger("GET", page)),
                                       nonceNumber(i));
                   }),
        unanswered("as another user, refreshes 300 times",
                   [](const StubProcess& stub, const std::string&, int i) {
                       return stub.sendAsStranger(
                           "POST", "/v1/auth/refresh",
                           json{{"refresh_token", "refresh-" + std::to_string(i)}}.dump());
                   }),
        unanswered("as another user, opens the user's sign-in page",
                   [](const StubProcess& stub, const std::string& page, int) {
                       return stub.sendAsStranger("GET", page);
                   }),
        // The kernel, asked about a socket that is gone, names whoever now
        // listens on its port.
        {"as another user, hangs up before its owner is asked, from a port the user then "
         "listens on",
         [](const StubProcess& stub, const std::string&) {
             // The user's own load: every worker busy, the question comes late.
             auto load =
                 std::make_unique<Trickle>(stub.port(), 256, std::chrono::milliseconds(900));
             int port = 0;
             {
                 AsAnotherUser other;
                 const std::string body =
                     json{{"device_nonce", nonceNumber(1)}, {"callback_port", 9999}}.dump();
                 port = sendAndHangUp(stub.port(),
                                      "POST /v1/auth/desktop/start HTTP/1.1\r\nHost: 127.0.0.1:" +
                                          std::to_string(stub.port()) +
                                          "\r\nContent-Type: application/json\r\nContent-Length: " +
                                          std::to_string(body.size()) + "\r\n\r\n" + body);
             }
             auto listener = listenOnceFree(port);
             load.reset();  // ends once the stub has hung up on all of it
             return std::shared_ptr<void>(listener);
         },
         200, 200, Who::anotherUserAmidTheUsers},
        calledBackTo("as another user, listens on the port the user's next sign-in calls back to",
                     [] {
                         AsAnotherUser other;
                         return std::make_shared<Listener>(0);
                     }),
        // SO_BINDTODEVICE is open to every user since Linux 5.7; a connection
        // to 127.0.0.1 reaches such a listener all the same.
        calledBackTo("as another user, listens bound to lo on the port the user's next sign-in "
                     "calls back to",
                     [] {
                         AsAnotherUser other;
                         return std::make_shared<Listener>(0, "lo");
                     }),
        // Mivo listens before it starts a sign-in: a port where nothing
        // listens is one that anyone may take before the browser comes.
        calledBackTo(
            "nothing listens on the port the user's next sign-in calls back to",
            [] {
                auto gone = std::make_shared<Listener>(0);
                ::close(std::exchange(gone->fd, -1));
                return gone;
            },
            Who::ownProcess),
        {"as another user, would listen on [::1] at the stand-in's port",
         [](const StubProcess& stub, const std::string&) {
             const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
             const int one = 1;
             ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
             sockaddr_in6 address{};
             address.sin6_family = AF_INET6;
             address.sin6_port = htons(static_cast<uint16_t>(stub.port()));
             address.sin6_addr = in6addr_loopback;
             EXPECT_NE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             ::close(fd);
             return nullptr;
         },
         200, 200, Who::anotherUser},
        // Firefox: "no-cors" fetches from a page of another loopback port.
        page("a page of another origin starts 300 sign-ins with text bodies",
             "127.0.0.1:", "http://127.0.0.1:1", "text/plain;charset=UTF-8"),
        // A form whose fields spell JSON, from a browser that sends no Origin.
        page("a text form without an origin starts 300 sign-ins", "127.0.0.1:", "", "text/plain"),
        // Chromium sent to localhost: the page came from another user's
        // [::1] listener, then the browser fell back to the stand-in under
        // the same origin, whose own requests need carry no Origin.
        page("a page served as localhost starts 300 sign-ins", "localhost:", "",
             "application/json"),
        page("a sandboxed page starts 300 sign-ins with JSON", "127.0.0.1:", "null",
             "application/json"),
        // Only the user's own programs can still send these.
        {"sends a 100 MB chunked body",
         [](const StubProcess& stub, const std::string&) {
             const std::string head = "POST /v1/auth/refresh HTTP/1.1\r\nHost: 127.0.0.1:" +
                                      std::to_string(stub.port()) +
                                      "\r\nContent-Type: application/json\r\n"
                                      "Transfer-Encoding: chunked\r\n\r\n";
             const std::string chunk = "100000\r\n" + std::string(1 << 20, 'x') + "\r\n";
             EXPECT_EQ(statusAfterSending(stub.port(), head, chunk, 100), 413);
             return nullptr;
         }},
        // Within the size cap, cheap to send and dear to parse: 76 MB each
        // as a tree. What the parses took goes back to the system, and the
        // log keeps such bodies by their size only.
        {"sends 64 bodies of 1 MiB of [[[[ at once",
         [](const StubProcess& stub, const std::string&) {
             const SignedIn other = signIn(stub);
             const std::map<std::string, std::string> headers{
                 {"Authorization", "Bearer " + other.access},
                 {"X-Mivo-Device-Id", std::string(64, 'a')}};
             const std::string body(1 << 20, '[');
             const char* paths[] = {"/v1/auth/desktop/start",
                                    "/v1/auth/desktop/exchange",
                                    "/v1/auth/refresh",
                                    "/v1/rewrite/convert",
                                    "/v1/feedback/conversion",
                                    "/dev/script",
                                    "/dev/config"};
             std::atomic<int> refused = 0;
             std::vector<std::thread> senders;
             for (int i = 0; i < 64; ++i) {
                 senders.emplace_back([&, path = paths[i % std::size(paths)]] {
                     refused += statusOf(stub.send("POST", path, body, headers)) == 400;
                 });
             }
             for (auto& sender : senders)
                 sender.join();
             EXPECT_EQ(refused, 64);
             if (!kAddressSanitizer) {
                 EXPECT_LT(stub.residentMemoryKiB(), 32u * 1024);
             }
             return nullptr;
         }},
        {"sends 100 MB of headers",
         [](const StubProcess& stub, const std::string&) {
             const std::string head =
                 "GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(stub.port()) +
                 "\r\n";
             const std::string line = "X-Pad: " + std::string(8000, 'a') + "\r\n";
             EXPECT_EQ(statusAfterSending(stub.port(), head, line, 12'500), 431);
             return nullptr;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.does);
        if (row.who != Who::ownProcess && ::geteuid() != 0) {
            GTEST_LOG_(WARNING) << "not run: only root can be another user: " << row.does;
            continue;
        }
        StubProcess stub;
        const SignedIn user = signIn(stub);
        // Mivo's own listener, waiting for the browser.
        const testing::CallbackPort callback;
        const std::string page = startSignIn(stub, kNonce, callback.port());
        ASSERT_FALSE(page.empty());
        const std::size_t logged = stub.requests().size();

        std::shared_ptr<void> neighbour;
        if (row.who == Who::anotherUser) {
            AsAnotherUser other;
            neighbour = row.act(stub, page);
        } else {
            neighbour = row.act(stub, page);
        }
        // Nothing another user sent was read.
        if (row.who == Who::anotherUser) {
            EXPECT_EQ(stub.requests().size(), logged);
        }
        if (row.who == Who::anotherUserAmidTheUsers) {
            EXPECT_THAT(
                stub.requests(), ::testing::Each(::testing::Not(::testing::Truly([](const json& r) {
                    return r["body"].get<std::string>().find(nonceNumber(1)) != std::string::npos;
                }))));
        }
        if (!kAddressSanitizer) {
            EXPECT_LT(stub.peakMemoryKiB(), 64u * 1024);
        }
        EXPECT_EQ(
            statusOf(stub.send("POST", "/v1/auth/desktop/start",
                               json{{"device_nonce", kNonce}, {"callback_port", 9999}}.dump())),
            row.started);

        EXPECT_EQ(
            statusOf(stub.send("GET", "/v1/me", "", {{"Authorization", "Bearer " + user.access}})),
            200);
        const auto renewed =
            stub.send("POST", "/v1/auth/refresh", json{{"refresh_token", user.refresh}}.dump());
        EXPECT_EQ(statusOf(renewed), 200);
        const auto browser = stub.send("GET", page);
        EXPECT_EQ(statusOf(browser), 302);
        if (statusOf(browser) == 302) {
            EXPECT_THAT(browser->headers.at("Location"),
                        ::testing::StartsWith(
                            "http://127.0.0.1:" + std::to_string(callback.port()) + "/?grant="));
        }
        const auto tokens = exchange(stub, grantIn(browser), kNonce);
        EXPECT_EQ(statusOf(tokens), row.exchanged);
        if (row.exchanged != 200) {
            EXPECT_TRUE(isJsonError(tokens));
        }
    }
}

// Where the stand-in cannot tell who connects it would serve no one (every
// owner unknown) or everyone (every user looks the same): it does not start,
// and says why, for run.sh to show.
TEST(ApiStubNeighbours, NothingStartsWhereUsersCannotBeToldApart) {
    struct Row {
        const char* where;
        std::vector<std::string> launcher;
        const char* says;
    };
    const Row rows[] = {
        {"in a user namespace that maps no user", {"unshare", "--user"}, "overflow user"},
        {"without socket diagnostics", {MIVO_WITHOUT_SOCKET_DIAGNOSTICS}, "socket diagnostics"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        const auto start = testing::startStubThrough(row.launcher);
        if (start.said.starts_with("unshare:")) {
            GTEST_LOG_(WARNING) << "not run: " << start.said;
            continue;
        }
        EXPECT_FALSE(start.served);
        EXPECT_NE(start.status, 0);
        EXPECT_THAT(start.said, ::testing::HasSubstr("cannot tell which user"));
        EXPECT_THAT(start.said, ::testing::HasSubstr(row.says));
    }
}

}  // namespace
}  // namespace mivo
