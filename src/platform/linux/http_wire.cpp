#include "platform/linux/http_wire.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace mivo::linux_desktop {

namespace {

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

template <typename T>
std::optional<T> number(std::string_view s, int base) {
    T value{};
    const auto* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, value, base);
    if (s.empty() || ec != std::errc{} || ptr != end)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> encodeRequest(const HttpRequest& request, std::string_view host,
                                         std::string_view target) {
    if (request.method.empty() || hasLineBreak(request.method) ||
        request.method.find(' ') != std::string::npos || hasLineBreak(target))
        return std::nullopt;
    std::string out = request.method + " " + std::string(target) + " HTTP/1.1\r\n";
    out += "Host: " + std::string(host) + "\r\n";
    for (const auto& h : request.headers) {
        if (h.name.empty() || hasLineBreak(h.name) || hasLineBreak(h.value) ||
            h.name.find(':') != std::string::npos)
            return std::nullopt;
        out += h.name + ": " + h.value + "\r\n";
    }
    if (request.body)
        out += "Content-Length: " + std::to_string(request.body->size()) + "\r\n";
    else if (request.method != "GET" && request.method != "HEAD")
        out += "Content-Length: 0\r\n";
    out += "Connection: close\r\n\r\n";
    if (request.body)
        out += *request.body;
    return out;
}

HttpResponseReader::State HttpResponseReader::feed(std::string_view bytes) {
    if (phase_ == Phase::done)
        return State::complete;
    buffer_.append(bytes);
    return advance();
}

HttpResponseReader::State HttpResponseReader::closed() {
    if (malformed_)
        return State::malformed;
    if (phase_ == Phase::untilClose)
        phase_ = Phase::done;
    return phase_ == Phase::done ? State::complete : State::incomplete;
}

bool HttpResponseReader::readHead(std::string_view head) {
    response_ = HttpResponse{};
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view statusLine = head.substr(0, lineEnd);
    // "HTTP/1.1 200 OK": the reason phrase may be empty or missing.
    if (!statusLine.starts_with("HTTP/1.") || statusLine.size() < 12 || statusLine[8] != ' ')
        return false;
    const auto status = number<int>(statusLine.substr(9, 3), 10);
    if (!status || *status < 100 || (statusLine.size() > 12 && statusLine[12] != ' '))
        return false;
    response_.status = *status;
    while (lineEnd != std::string_view::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = head.substr(start, lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return false;
        response_.headers.push_back({std::string(trimmed(line.substr(0, colon))),
                                     std::string(trimmed(line.substr(colon + 1)))});
    }
    return true;
}

bool HttpResponseReader::startBody() {
    const int status = response_.status;
    if (answersHead_ || status == 204 || status == 304) {
        phase_ = Phase::done;
        return true;
    }
    std::optional<std::size_t> length;
    bool chunked = false;
    for (const auto& h : response_.headers) {
        if (equalsIgnoringCase(h.name, "Transfer-Encoding")) {
            chunked =
                h.value.size() >= 7 &&
                equalsIgnoringCase(std::string_view(h.value).substr(h.value.size() - 7), "chunked");
        } else if (equalsIgnoringCase(h.name, "Content-Length")) {
            const auto n = number<std::size_t>(h.value, 10);
            if (!n || (length && *length != *n))
                return false;
            length = n;
        }
    }
    if (chunked) {
        phase_ = Phase::chunkSize;
    } else if (length) {
        if (*length > maxBodyBytes_)
            return false;
        remaining_ = *length;
        phase_ = remaining_ == 0 ? Phase::done : Phase::fixed;
    } else {
        phase_ = Phase::untilClose;
    }
    return true;
}

bool HttpResponseReader::appendBody(std::string_view bytes) {
    if (response_.body.size() + bytes.size() > maxBodyBytes_)
        return false;
    response_.body.append(bytes);
    return true;
}

std::size_t HttpResponseReader::find(std::string_view pending, std::string_view terminator) {
    // What an earlier call searched holds no terminator, except perhaps one
    // that the new bytes complete: search only from there, so that a line
    // arriving one byte at a time costs its length, not its length squared.
    const std::size_t overlap = terminator.size() - 1;
    const std::size_t from = scanned_ > overlap ? scanned_ - overlap : 0;
    const std::size_t found = pending.find(terminator, from);
    scanned_ = found == std::string_view::npos ? pending.size() : 0;
    return found;
}

// Bytes are consumed by moving `at_` over them; the buffer drops them once
// per feed, not once per chunk, which would move the rest of a large buffer
// for every small chunk in it.
std::string_view HttpResponseReader::pending() const {
    return std::string_view(buffer_).substr(at_);
}

void HttpResponseReader::consume(std::size_t n) {
    at_ += n;
    scanned_ = 0;
}

HttpResponseReader::State HttpResponseReader::done(State state) {
    buffer_.erase(0, at_);
    at_ = 0;
    return state;
}

HttpResponseReader::State HttpResponseReader::fail() {
    malformed_ = true;
    return done(State::malformed);
}

HttpResponseReader::State HttpResponseReader::advance() {
    if (malformed_)
        return State::malformed;
    at_ = 0;
    while (true) {
        std::optional<State> stop;
        switch (phase_) {
            case Phase::head:
                stop = readHeadPhase();
                break;
            case Phase::fixed:
            case Phase::chunkData:
                stop = readBodyBytes();
                break;
            case Phase::chunkSize:
                stop = readChunkSize();
                break;
            case Phase::chunkEnd:
                stop = readChunkEnd();
                break;
            case Phase::trailers:
                stop = readTrailer();
                break;
            case Phase::untilClose:
                if (!appendBody(pending()))
                    return fail();
                consume(pending().size());
                return done(State::incomplete);
            case Phase::done:
                return done(State::complete);
        }
        if (stop)
            return *stop;
    }
}

std::optional<HttpResponseReader::State> HttpResponseReader::readHeadPhase() {
    const std::size_t end = find(pending(), "\r\n\r\n");
    if (end == std::string::npos)
        return pending().size() > kMaxHeadBytes ? fail() : done(State::incomplete);
    if (end > kMaxHeadBytes || !readHead(pending().substr(0, end)))
        return fail();
    consume(end + 4);
    // An interim answer (100 Continue) is followed by the real one.
    if (response_.status < 200)
        return std::nullopt;
    if (!startBody())
        return fail();
    return std::nullopt;
}

// A body of known length and a chunk's data are both the next `remaining_`
// bytes; only what follows them differs.
std::optional<HttpResponseReader::State> HttpResponseReader::readBodyBytes() {
    const std::size_t take = std::min(remaining_, pending().size());
    if (!appendBody(pending().substr(0, take)))
        return fail();
    consume(take);
    remaining_ -= take;
    if (remaining_ > 0)
        return done(State::incomplete);
    phase_ = phase_ == Phase::fixed ? Phase::done : Phase::chunkEnd;
    return std::nullopt;
}

std::optional<HttpResponseReader::State> HttpResponseReader::readChunkSize() {
    const std::size_t end = find(pending(), "\r\n");
    if (end == std::string::npos)
        return pending().size() > 1024 ? fail() : done(State::incomplete);
    std::string_view line = pending().substr(0, end);
    line = trimmed(line.substr(0, line.find(';')));
    const auto size = number<std::size_t>(line, 16);
    if (!size || *size > maxBodyBytes_)
        return fail();
    consume(end + 2);
    remaining_ = *size;
    phase_ = remaining_ == 0 ? Phase::trailers : Phase::chunkData;
    return std::nullopt;
}

std::optional<HttpResponseReader::State> HttpResponseReader::readChunkEnd() {
    if (pending().size() < 2)
        return done(State::incomplete);
    if (!pending().starts_with("\r\n"))
        return fail();
    consume(2);
    phase_ = Phase::chunkSize;
    return std::nullopt;
}

std::optional<HttpResponseReader::State> HttpResponseReader::readTrailer() {
    const std::size_t end = find(pending(), "\r\n");
    if (end == std::string::npos)
        return pending().size() > kMaxHeadBytes ? fail() : done(State::incomplete);
    consume(end + 2);
    if (end == 0)
        phase_ = Phase::done;
    return std::nullopt;
}

}  // namespace mivo::linux_desktop
