// The update feed's download against a real server on loopback: answers
// within the bound arrive, anything longer is refused and its transfer is
// stopped rather than read to the end.

#include "app/qt_feed_fetch.hpp"

#include <gtest/gtest.h>

#include <QNetworkAccessManager>

#include <netinet/in.h>
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
    OneAnswerServer(std::string head, std::size_t bodyBytes) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/feed"; }
    // Waits until the server is done; the body bytes it sent.
    std::size_t sent() {
        if (thread_.joinable())
            thread_.join();
        return sent_;
    }
    bool clientHungUp() const { return hungUp_; }

  private:
    void serve(const std::string& head, std::size_t bodyBytes) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
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
            const std::size_t take = std::min(block.size(), bodyBytes - sent);
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

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<std::size_t> sent_ = 0;
    std::atomic<bool> hungUp_ = false;
};

std::string headWithLength(std::size_t bytes) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(bytes) + "\r\nConnection: close\r\n\r\n";
}

std::optional<std::string> fetchFrom(OneAnswerServer& server) {
    QNetworkAccessManager network;
    testing::Answer<std::optional<std::string>> answer;
    fetchFeed(network, server.url(), kLimit, std::chrono::milliseconds(12'000), answer.callback());
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
