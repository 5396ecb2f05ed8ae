// The loopback callback server over real sockets: the server runs on a
// thread of its own, the test plays the browser (and the intruders).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>

#include "account/desktop_callback_server.hpp"
#include "socket_client.hpp"

namespace mivo {
namespace {

namespace server = DesktopCallbackServer;
using ::testing::HasSubstr;
using testing::SocketClient;
using ::testing::StartsWith;

// The server on its own thread, bound before the test connects.
struct RunningServer {
    uint16_t port = 0;
    std::future<server::Result> result;

    explicit RunningServer(double timeout = 20) {
        auto listener = server::listenOnLoopback(0);
        EXPECT_TRUE(listener.has_value());
        port = listener->port();
        result = std::async(std::launch::async, [l = std::move(*listener), timeout]() mutable {
            server::Listener listening = std::move(l);  // closed when serving ends
            return server::serve(listening, timeout);
        });
    }
    server::Result get() {
        EXPECT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        return result.get();
    }
};

std::string callback(std::string_view target) {
    return "GET " + std::string(target) +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/html\r\n\r\n";
}

TEST(DesktopCallbackServerTest, AnswersTheCallbackWithThePageAndReturnsTheGrant) {
    RunningServer s;
    SocketClient browser(s.port);
    ASSERT_TRUE(browser.send(callback("/callback?grant=abc")));
    const auto reply = browser.readUntilClosed();
    ASSERT_TRUE(reply.has_value());
    EXPECT_THAT(*reply, StartsWith("HTTP/1.1 200 OK\r\n"
                                   "Content-Type: text/html; charset=utf-8\r\n"
                                   "Connection: close\r\n\r\n<!doctype html>"));
    EXPECT_THAT(*reply, HasSubstr("You're signed in to Mivo"));
    EXPECT_EQ(s.get(), "abc");
}

TEST(DesktopCallbackServerTest, TheReplyHeadIsSeventyEightBytes) {
    const auto& reply = server::successResponse();
    EXPECT_EQ(reply.find("\r\n\r\n") + 4, 78u);
    EXPECT_THAT(reply, HasSubstr("<title>Signed in to Mivo</title>"));
    EXPECT_THAT(reply, HasSubstr("points=\"20 6 9 17 4 12\""));
    EXPECT_THAT(reply, HasSubstr("setTimeout(function () { window.close(); }, 1500)"));
}

TEST(DesktopCallbackServerTest, AnIdlePreConnectionDoesNotHoldUpTheCallback) {
    RunningServer s;
    SocketClient preconnect(s.port);  // a browser opens it and sends nothing
    ASSERT_TRUE(preconnect.connected());
    SocketClient browser(s.port);
    ASSERT_TRUE(browser.send(callback("/?grant=real")));
    const auto reply = browser.readUntilClosed(3);
    ASSERT_TRUE(reply.has_value()) << "the callback waited for the idle connection";
    EXPECT_THAT(*reply, StartsWith("HTTP/1.1 200 OK"));
    EXPECT_EQ(s.get(), "real");
}

// Another local program opens far more silent connections than are read at
// once: the browser still gets in at once, the silent ones make room.
TEST(DesktopCallbackServerTest, AFloodOfIdleConnectionsNeverKeepsTheBrowserOut) {
    RunningServer s;
    std::vector<std::unique_ptr<SocketClient>> flood;
    for (std::size_t i = 0; i < 3 * server::kMaxConnections; ++i) {
        flood.push_back(std::make_unique<SocketClient>(s.port));
        ASSERT_TRUE(flood.back()->connected());
    }
    SocketClient browser(s.port);
    ASSERT_TRUE(browser.send(callback("/?grant=through")));
    // Well inside the five seconds each silent connection is given.
    const auto reply = browser.readUntilClosed(2);
    ASSERT_TRUE(reply.has_value()) << "the browser was kept out by idle connections";
    EXPECT_THAT(*reply, StartsWith("HTTP/1.1 200 OK"));
    EXPECT_EQ(s.get(), "through");
}

TEST(DesktopCallbackServerTest, ARequestLineSplitOverTwoPacketsIsJoined) {
    RunningServer s;
    SocketClient browser(s.port);
    ASSERT_TRUE(browser.send("GET /?gra"));
    // Half a line gets no answer; the server waits for the rest.
    EXPECT_FALSE(browser.answersWithin(0.2));
    ASSERT_TRUE(browser.send("nt=split HTTP/1.1\r\n\r\n"));
    EXPECT_THAT(browser.readUntilClosed().value_or(""), StartsWith("HTTP/1.1 200 OK"));
    EXPECT_EQ(s.get(), "split");
}

TEST(DesktopCallbackServerTest, RequestsWithoutAUsableGrantAreRefusedAndTheWaitGoesOn) {
    RunningServer s;
    const std::string refused[] = {
        "POST /?grant=abc HTTP/1.1\r\n\r\n",
        "HEAD /?grant=abc HTTP/1.1\r\n\r\n",
        "get /?grant=abc HTTP/1.1\r\n\r\n",
        callback("/favicon.ico"),
        callback("/?state=1"),
        callback("/?grant="),
        callback("/?grant"),
        "GET\r\n\r\n",
    };
    for (const auto& request : refused) {
        SocketClient other(s.port);
        ASSERT_TRUE(other.send(request));
        EXPECT_THAT(other.readUntilClosed().value_or("(no close)"), StartsWith("HTTP/1.1 400"))
            << request;
    }
    SocketClient browser(s.port);
    ASSERT_TRUE(browser.send(callback("/?grant=after")));
    EXPECT_THAT(browser.readUntilClosed().value_or(""), StartsWith("HTTP/1.1 200 OK"));
    EXPECT_EQ(s.get(), "after");
}

TEST(DesktopCallbackServerTest, AConnectionClosedEarlyDoesNotEndTheWait) {
    RunningServer s;
    {
        SocketClient gone(s.port);
        ASSERT_TRUE(gone.send("GET /?grant=half"));
    }
    SocketClient browser(s.port);
    ASSERT_TRUE(browser.send(callback("/?grant=whole")));
    EXPECT_EQ(s.get(), "whole");
}

TEST(DesktopCallbackServerTest, NoCallbackWithinTheTimeOutSaysItTimedOut) {
    RunningServer s(0.3);
    const auto result = s.get();
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, server::ServerError::Kind::timedOut);
    EXPECT_EQ(result.error().description(),
              "Timed out waiting for the browser: the sign-in was not finished in time");
    // The port is free again.
    EXPECT_FALSE(SocketClient(s.port).connected());
}

TEST(DesktopCallbackServerTest, ARequestIsCutAt4095Bytes) {
    // The grant starts inside the first 4095 bytes: found, the padding after
    // it is cut off.
    {
        RunningServer s;
        SocketClient browser(s.port);
        const std::string target = "/?grant=early&pad=" + std::string(5000, 'x');
        ASSERT_TRUE(browser.send(callback(target)));
        EXPECT_EQ(s.get(), "early");
    }
    // The grant lies beyond byte 4095: refused.
    {
        RunningServer s;
        SocketClient browser(s.port);
        const std::string target = "/?pad=" + std::string(4095, 'x') + "&grant=late";
        ASSERT_TRUE(browser.send(callback(target)));
        EXPECT_THAT(browser.readUntilClosed().value_or(""), StartsWith("HTTP/1.1 400"));
        SocketClient next(s.port);
        ASSERT_TRUE(next.send(callback("/?grant=next")));
        EXPECT_EQ(s.get(), "next");
    }
}

TEST(DesktopCallbackServerTest, APortHeldByAnotherProgramFailsToBindWithItsErrno) {
    auto holder = server::listenOnLoopback(0);
    ASSERT_TRUE(holder.has_value());
    const auto taken = server::listenOnLoopback(holder->port());
    ASSERT_FALSE(taken.has_value());
    EXPECT_EQ(taken.error().kind, server::ServerError::Kind::bindFailed);
    EXPECT_EQ(taken.error().errnoValue, EADDRINUSE);
    EXPECT_EQ(taken.error().description(),
              "Failed to bind port (errno " + std::to_string(EADDRINUSE) + ")");
}

TEST(DesktopCallbackServerTest, ListensOnTheLoopbackAddressOnly) {
    auto listener = server::listenOnLoopback(0);
    ASSERT_TRUE(listener.has_value());
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener->fd(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), INADDR_LOOPBACK);
}

TEST(DesktopCallbackServerTest, ErrorTexts) {
    using Kind = server::ServerError::Kind;
    const std::pair<Kind, const char*> rows[] = {
        {Kind::socketFailed, "Failed to create socket"},
        {Kind::listenFailed, "Failed to listen on socket"},
        {Kind::acceptFailed, "Failed to accept connection"},
        {Kind::readFailed, "Failed to read from socket"},
        {Kind::grantNotFound, "OAuth grant parameter not found in callback URL"},
        {Kind::timedOut, "Timed out waiting for the browser: the sign-in was not finished in time"},
    };
    for (const auto& [kind, text] : rows)
        EXPECT_EQ((server::ServerError{kind, 0}).description(), text);
}

struct GrantRow {
    const char* requestLine;
    std::optional<std::string> grant;
};

TEST(DesktopCallbackServerTest, ParsesTheGrantOutOfTheRequestLine) {
    const GrantRow rows[] = {
        {"GET /callback?grant=abc HTTP/1.1\r\nHost: x\r\n", "abc"},
        {"GET /?grant=a%2Bb HTTP/1.1", "a+b"},
        {"GET /?grant=a+b HTTP/1.1", "a+b"},
        {"GET /?state=1&grant=second HTTP/1.1", "second"},
        {"GET /?grant=first&grant=second HTTP/1.1", "first"},
        {"GET /?grant= HTTP/1.1", ""},
        {"GET /?grant HTTP/1.1", std::nullopt},
        {"GET /?grant&grant=x HTTP/1.1", std::nullopt},
        {"GET /?Grant=abc HTTP/1.1", std::nullopt},
        {"GET /?grant=abc#frag HTTP/1.1", "abc"},
        {"GET /?grant=%zz HTTP/1.1", std::nullopt},
        {"GET /?grant=%4 HTTP/1.1", std::nullopt},
        {"GET /?gr%61nt=named HTTP/1.1", "named"},
        {"GET /?grant=%E3%81%82 HTTP/1.1", "\xE3\x81\x82"},
        {"GET /?grant=abc", "abc"},
        {"GET  /?grant=abc HTTP/1.1", std::nullopt},
        {"GET", std::nullopt},
        {"POST /?grant=abc HTTP/1.1", std::nullopt},
        {"get /?grant=abc HTTP/1.1", std::nullopt},
        {"GET /?grant=\xE3\x81 HTTP/1.1", std::nullopt},
        {"GET /grant=abc HTTP/1.1", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(server::parseGrant(row.requestLine), row.grant) << row.requestLine;
}

// A main loop for the test: a queue that the test drains, waiting a bounded
// time for the worker thread's post.
class PostedWork {
  public:
    MainLoopPost post() {
        return [this](std::function<void()> work) {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
            ready_.notify_all();
        };
    }
    // Runs what was posted; whether anything came within `seconds`.
    bool runNext(double seconds = 20) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, std::chrono::duration<double>(seconds),
                             [&] { return !queue_.empty(); }))
            return false;
        auto work = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        work();
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
};

TEST(DesktopCallbackServerTest, WaitForGrantDeliversOnTheMainLoopOnce) {
    PostedWork loop;
    const uint16_t port = testing::freeLoopbackPort();
    std::vector<server::Result> results;
    server::waitForGrant(port, 20, loop.post(), [&](server::Result r) { results.push_back(r); });
    // Bound before the call returned: the browser may come at once.
    SocketClient browser(port);
    ASSERT_TRUE(browser.send(callback("/?grant=posted")));
    ASSERT_TRUE(loop.runNext());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], "posted");
}

TEST(DesktopCallbackServerTest, WaitForGrantReportsABusyPortThroughTheLoop) {
    PostedWork loop;
    auto holder = server::listenOnLoopback(0);
    ASSERT_TRUE(holder.has_value());
    std::vector<server::Result> results;
    server::waitForGrant(holder->port(), 20, loop.post(),
                         [&](server::Result r) { results.push_back(r); });
    EXPECT_TRUE(results.empty()) << "the completion ran inside the call";
    ASSERT_TRUE(loop.runNext());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].error().kind, server::ServerError::Kind::bindFailed);
}

TEST(DesktopCallbackServerTest, CancellingFreesThePortAndDropsTheCompletion) {
    PostedWork loop;
    const uint16_t port = testing::freeLoopbackPort();
    int calls = 0;
    Cancel wait = server::waitForGrant(port, 20, loop.post(), [&](server::Result) { ++calls; });
    wait.cancel();
    // Free at once, before the worker has even noticed: a new sign-in can bind.
    EXPECT_TRUE(server::listenOnLoopback(port).has_value()) << "the port is still held";
    ASSERT_TRUE(loop.runNext());  // the worker's post arrives, and is dropped
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace mivo
