#pragma once

// HTTP/1.1 on the wire, for the transport's own sockets: the bytes of one
// request, and a reader that takes an answer in whatever pieces the socket
// hands over. We speak it ourselves because Qt's HTTP stack rewrites the
// path (merging "//") and silently sends a request again when the
// connection drops, and the services need both to be seen as they are.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/http_transport.hpp"

namespace mivo::linux_desktop {

// The request with "Host", a length for any body (and 0 for a body-less
// method other than GET and HEAD) and "Connection: close". Nothing when a
// header name or value holds a line break, which would forge another header.
std::optional<std::string> encodeRequest(const HttpRequest& request, std::string_view host,
                                         std::string_view target);

class HttpResponseReader {
  public:
    enum class State { incomplete, complete, malformed };

    static constexpr std::size_t kMaxHeadBytes = 64 * 1024;
    static constexpr std::size_t kMaxBodyBytes = 32 * 1024 * 1024;

    // An answer to HEAD has no body, whatever its length says. A body longer
    // than `maxBodyBytes` (0: kMaxBodyBytes) makes the answer malformed as
    // soon as its length or its bytes say so.
    explicit HttpResponseReader(bool answersHead, std::size_t maxBodyBytes = 0)
        : answersHead_(answersHead),
          maxBodyBytes_(maxBodyBytes == 0 ? kMaxBodyBytes : std::min(maxBodyBytes, kMaxBodyBytes)) {
    }

    State feed(std::string_view bytes);
    // The peer closed the connection: complete only when the body runs to
    // the close; an answer cut short stays incomplete.
    State closed();

    const HttpResponse& response() const { return response_; }

  private:
    enum class Phase { head, fixed, chunkSize, chunkData, chunkEnd, trailers, untilClose, done };

    State advance();
    // One phase over the unread bytes: nothing when the next phase goes on
    // at once, else where the answer stands.
    std::optional<State> readHeadPhase();
    std::optional<State> readBodyBytes();
    std::optional<State> readChunkSize();
    std::optional<State> readChunkEnd();
    std::optional<State> readTrailer();
    std::string_view pending() const;
    void consume(std::size_t n);
    State done(State state);
    State fail();
    bool readHead(std::string_view head);
    bool startBody();
    bool appendBody(std::string_view bytes);
    // Where `terminator` starts in the unconsumed bytes, or npos.
    std::size_t find(std::string_view pending, std::string_view terminator);

    bool answersHead_;
    std::size_t maxBodyBytes_;
    bool malformed_ = false;
    Phase phase_ = Phase::head;
    std::size_t at_ = 0;  // consumed of buffer_ in this feed
    std::size_t remaining_ = 0;
    std::size_t scanned_ = 0;  // unconsumed bytes already searched for a line end
    std::string buffer_;
    HttpResponse response_;
};

}  // namespace mivo::linux_desktop
