// The update feed's download against a real server on loopback: answers
// within the bound arrive, anything longer is refused and its transfer is
// stopped rather than read to the end.

#include "shell/qt_feed_fetch.hpp"

#include <gtest/gtest.h>

#include <QNetworkAccessManager>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "event_loop_wait.hpp"

namespace mivo {
namespace {

constexpr std::size_t kLimit = 64 * 1024;
// What the server would send at most; far more than any socket buffers.
constexpr std::size_t kEndless = 256 * 1024 * 1024;

// One connection on a loopback port: reads the request, sends `head`, then
// `bodyBytes` letters, and counts what the client took before it hung up.
class OneAnswerServer {
  public:
    // `trickle`: one body byte per this interval instead of all at once.
    // `listenAddress`: where it listens (every address: reachable by the
    // machine's network address too).
    OneAnswerServer(std::string head, std::size_t bodyBytes,
                    std::chrono::milliseconds trickle = std::chrono::milliseconds(0),
                    std::uint32_t listenAddress = INADDR_LOOPBACK)
        : trickle_(trickle) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(listenAddress);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "cannot listen on loopback";
        port_ = ntohs(address.sin_port);
        thread_ =
            std::thread([this, head = std::move(head), bodyBytes] { serve(head, bodyBytes); });
    }
    ~OneAnswerServer() {
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }

    std::string url(const std::string& host = "127.0.0.1") const {
        return "http://" + host + ":" + std::to_string(port_) + "/feed";
    }
    // Whether a client connected at all (waits until the server is done).
    bool connected() {
        sent();
        return connected_;
    }
    // Waits until the server is done; the body bytes it sent.
    std::size_t sent() {
        if (thread_.joinable())
            thread_.join();
        return sent_;
    }
    bool clientHungUp() const { return hungUp_; }

  private:
    void serve(const std::string& head, std::size_t bodyBytes) {
        // A client that never comes ends the server after a while.
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 5000) <= 0)
            return;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        connected_ = true;
        // A client that neither reads nor hangs up fails the test, not hangs it.
        timeval wait{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
        const std::string block(64 * 1024, 'x');
        std::size_t sent = 0;
        while (sent < bodyBytes) {
            if (trickle_.count() > 0)
                std::this_thread::sleep_for(trickle_);
            const std::size_t take =
                std::min(trickle_.count() > 0 ? 1 : block.size(), bodyBytes - sent);
            const ssize_t n = ::send(fd, block.data(), take, MSG_NOSIGNAL);
            if (n <= 0) {
                hungUp_ = errno == EPIPE || errno == ECONNRESET;
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        sent_ = sent;
        ::close(fd);
    }

    std::chrono::milliseconds trickle_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<std::size_t> sent_ = 0;
    std::atomic<bool> hungUp_ = false;
    std::atomic<bool> connected_ = false;
};

std::string headWithLength(std::size_t bytes) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(bytes) + "\r\nConnection: close\r\n\r\n";
}

std::optional<std::string> fetchFrom(OneAnswerServer& server) {
    QNetworkAccessManager network;
    testing::Answer<std::optional<std::string>> answer;
    fetchFeed(network, server.url(),
              {.maxBytes = kLimit,
               .idle = std::chrono::milliseconds(12'000),
               .total = std::chrono::milliseconds(12'000)},
              answer.callback());
    EXPECT_TRUE(answer.wait());
    testing::runEventLoopFor(0.05);
    EXPECT_EQ(answer.calls, 1);
    return answer.value.value_or(std::string("no answer"));
}

TEST(FeedFetch, BodiesUpToTheBoundArriveLongerOnesAreRefused) {
    struct Row {
        std::string head;
        std::size_t bytes;
        bool arrives;
    };
    const Row rows[] = {
        {headWithLength(20), 20, true},
        {headWithLength(kLimit), kLimit, true},
        {headWithLength(kLimit + 1), kLimit + 1, false},
        // No length: the body runs to the close.
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", kLimit, true},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", kLimit + 1, false},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\nConnection: close\r\n\r\n", 5, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.head + std::to_string(row.bytes));
        OneAnswerServer server(row.head, row.bytes);
        const auto body = fetchFrom(server);
        const std::optional<std::string> expected =
            row.arrives ? std::optional<std::string>(std::string(row.bytes, 'x')) : std::nullopt;
        EXPECT_EQ(body, expected);
    }
}

// An endless answer, announced or not: refused, and the connection is
// dropped long before the server is done, instead of being read to the end.
TEST(FeedFetch, AnEndlessAnswerIsRefusedAndItsTransferStopped) {
    for (const std::string& head :
         {headWithLength(kEndless), std::string("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")}) {
        SCOPED_TRACE(head);
        OneAnswerServer server(head, kEndless);
        EXPECT_EQ(fetchFrom(server), std::nullopt);
        EXPECT_LT(server.sent(), kEndless / 4);
        EXPECT_TRUE(server.clientHungUp());
    }
}

}  // namespace
}  // namespace mivo

namespace mivo {
namespace {

// A feed that sends a byte now and then never falls silent long enough for
// the idle limit; the limit on the whole transfer ends it.
TEST(FeedFetch, ATricklingFeedIsStoppedAtTheTotalLimit) {
    OneAnswerServer server(headWithLength(1000), 1000, std::chrono::milliseconds(100));
    QNetworkAccessManager network;
    testing::Answer<std::optional<std::string>> answer;
    fetchFeed(network, server.url(),
              {.maxBytes = kLimit,
               .idle = std::chrono::milliseconds(12'000),
               .total = std::chrono::milliseconds(500)},
              answer.callback());
    // The server would need 100 s for its whole answer.
    ASSERT_TRUE(answer.wait(10));
    EXPECT_EQ(answer.value.value_or("no answer"), std::nullopt);
    EXPECT_LT(server.sent(), 1000u);
}

// This machine's first IPv4 address that is not loopback, if it has one.
std::optional<std::string> networkAddress() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return std::nullopt;
    std::optional<std::string> found;
    for (const ifaddrs* a = list; a != nullptr && !found; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if ((ntohl(in->sin_addr.s_addr) >> 24) == 127)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr)
            found = text;
    }
    ::freeifaddrs(list);
    return found;
}

// A feed served in plain http from this machine's network address: the same
// server over loopback is fetched, over the network address it is not even
// connected to.
TEST(FeedFetch, PlainHttpIsFetchedOnlyOverLoopback) {
    const auto address = networkAddress();
    if (!address)
        GTEST_SKIP() << "no network address besides loopback";
    const std::string feed = R"({"version":"9.9"})";
    for (const bool overLoopback : {true, false}) {
        SCOPED_TRACE(overLoopback ? "loopback" : *address);
        OneAnswerServer server(headWithLength(feed.size()), feed.size(),
                               std::chrono::milliseconds(0), INADDR_ANY);
        QNetworkAccessManager network;
        testing::Answer<std::optional<std::string>> answer;
        fetchFeed(network, server.url(overLoopback ? "127.0.0.1" : *address),
                  {.maxBytes = kLimit,
                   .idle = std::chrono::milliseconds(12'000),
                   .total = std::chrono::milliseconds(12'000)},
                  answer.callback());
        ASSERT_TRUE(answer.wait(10));
        EXPECT_EQ(answer.value->has_value(), overLoopback);
        EXPECT_EQ(server.connected(), overLoopback);
    }
}

// Only https goes beyond this machine; nothing is sent to a plain http
// address elsewhere, and the answer still comes on the loop.
TEST(FeedFetch, PlainHttpBeyondLoopbackIsNotFetched) {
    QNetworkAccessManager network;
    for (const char* url :
         {"http://updates.example/feed.json", "ftp://127.0.0.1/feed.json", "file:///etc/passwd"}) {
        SCOPED_TRACE(url);
        testing::Answer<std::optional<std::string>> answer;
        fetchFeed(network, url,
                  {.maxBytes = kLimit,
                   .idle = std::chrono::milliseconds(12'000),
                   .total = std::chrono::milliseconds(12'000)},
                  answer.callback());
        EXPECT_EQ(answer.calls, 0);
        ASSERT_TRUE(answer.wait(1));
        EXPECT_EQ(answer.value.value_or("no answer"), std::nullopt);
    }
}

}  // namespace
}  // namespace mivo
