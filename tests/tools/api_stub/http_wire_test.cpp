// HTTP/1.1 as the transport writes and reads it: answers in any framing and
// split at any byte, and broken answers refused rather than half-believed.

#include <gmock/gmock.h>
#include <string>
#include <string_view>

#include "platform/linux/http_wire.hpp"

namespace mivo::linux_desktop {
namespace {

using State = HttpResponseReader::State;

struct ReadCase {
    const char* name;
    std::string wire;
    bool head;
    State atEnd;  // after every byte, before the close
    State atClose;
    int status;
    std::string body;
};

TEST(HttpResponseReader, FramingsSplitAtEveryByte) {
    const ReadCase cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, State::complete,
         State::complete, 200, "hello"},
        {"chunked with extension and trailer",
         "HTTP/1.1 201 Created\r\nTransfer-Encoding: chunked\r\n\r\n3;x=y\r\nabc\r\n2\r\nde\r\n0"
         "\r\nX-Trailer: 1\r\n\r\n",
         false, State::complete, State::complete, 201, "abcde"},
        {"until close", "HTTP/1.0 500 Oops\r\n\r\npartial", false, State::incomplete,
         State::complete, 500, "partial"},
        {"interim answer first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n\r\n",
         false, State::complete, State::complete, 204, ""},
        {"head ignores length", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n", true,
         State::complete, State::complete, 200, ""},
        {"304 has no body", "HTTP/1.1 304 Not Modified\r\nContent-Length: 12\r\n\r\n", false,
         State::complete, State::complete, 304, ""},
        {"no reason phrase", "HTTP/1.1 401\r\nContent-Length: 0\r\n\r\n", false, State::complete,
         State::complete, 401, ""},
        {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf", false, State::incomplete,
         State::incomplete, 200, "half"},
        {"cut in the head", "HTTP/1.1 200 OK\r\nContent-Le", false, State::incomplete,
         State::incomplete, 0, ""},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", false, State::malformed, State::malformed, 0, ""},
        {"bad status", "HTTP/1.1 2x0 OK\r\n\r\n", false, State::malformed, State::malformed, 0, ""},
        {"header without colon", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n", false, State::malformed,
         State::malformed, 0, ""},
        {"conflicting lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
         false, State::malformed, State::malformed, 0, ""},
        {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false,
         State::malformed, State::malformed, 0, ""},
        {"oversized length", "HTTP/1.1 200 OK\r\nContent-Length: 999999999999\r\n\r\n", false,
         State::malformed, State::malformed, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpResponseReader whole(c.head);
        EXPECT_EQ(whole.feed(c.wire), c.atEnd);
        HttpResponseReader bytewise(c.head);
        State last = State::incomplete;
        for (char ch : c.wire)
            last = bytewise.feed(std::string_view(&ch, 1));
        EXPECT_EQ(last, c.atEnd);
        EXPECT_EQ(bytewise.closed(), c.atClose);
        if (c.atClose != State::malformed && c.status != 0) {
            EXPECT_EQ(bytewise.response().status, c.status);
            EXPECT_EQ(bytewise.response().body, c.body);
        }
    }
}

// 1 MB in one-byte chunks once took 20 s to decode; bench/wire_bench
// measures the cost, this checks the body whether the chunks arrive in one
// read, in pieces that split them anywhere, or a byte at a time.
TEST(HttpResponseReader, AMegabyteInOneByteChunksDecodesWhole) {
    constexpr std::size_t kBytes = 1024 * 1024;
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    std::string body;
    for (std::size_t i = 0; i < kBytes; ++i) {
        const char c = static_cast<char>('a' + i % 26);
        body += c;
        wire += "1\r\n";
        wire += c;
        wire += "\r\n";
    }
    wire += "0\r\nX-Trailer: 1\r\n\r\n";
    for (const std::size_t piece : {wire.size(), std::size_t{4093}, std::size_t{1}}) {
        SCOPED_TRACE(piece);
        HttpResponseReader reader(false);
        State state = State::incomplete;
        for (std::size_t at = 0; at < wire.size(); at += piece)
            state = reader.feed(std::string_view(wire).substr(at, piece));
        ASSERT_EQ(state, State::complete);
        EXPECT_EQ(reader.response().body, body);
    }
}

TEST(HttpResponseReader, HeadersKeepTheirNamesAndTrimTheirValues) {
    HttpResponseReader reader(false);
    ASSERT_EQ(
        reader.feed("HTTP/1.1 200 OK\r\nX-Name:  padded value \t\r\nContent-Length: 0\r\n\r\n"),
        State::complete);
    EXPECT_EQ(reader.response().header("x-name"), "padded value");
    EXPECT_FALSE(reader.response().header("X-Missing").has_value());
}

TEST(HttpRequestEncoding, WritesThePathAsGivenAndRefusesForgedHeaders) {
    HttpRequest r;
    r.method = "POST";
    r.headers = {{"Authorization", "Bearer t"}};
    EXPECT_EQ(
        encodeRequest(r, "127.0.0.1:8787", "//v1/auth/logout"),
        "POST //v1/auth/logout HTTP/1.1\r\nHost: 127.0.0.1:8787\r\nAuthorization: Bearer t\r\n"
        "Content-Length: 0\r\nConnection: close\r\n\r\n");
    r.body = "{}";
    EXPECT_THAT(encodeRequest(r, "h", "/").value_or(""),
                ::testing::HasSubstr("Content-Length: 2\r\nConnection: close\r\n\r\n{}"));
    r.method = "GET";
    r.body.reset();
    EXPECT_THAT(encodeRequest(r, "h", "/").value_or("Content-Length"),
                ::testing::Not(::testing::HasSubstr("Content-Length")));

    HttpRequest forged;
    forged.headers = {{"Authorization", "Bearer t\r\nX-Admin: 1"}};
    EXPECT_FALSE(encodeRequest(forged, "h", "/").has_value());
    forged.headers = {{"Bad:Name", "v"}};
    EXPECT_FALSE(encodeRequest(forged, "h", "/").has_value());
}

}  // namespace
}  // namespace mivo::linux_desktop
