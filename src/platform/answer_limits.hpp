#pragma once

// The longest answer each web request takes, in bytes: what its content can
// need with ample room. Answers are parsed on the main loop, so these bounds
// are also what keeps one answer from holding the loop (64 KiB of JSON keys
// parse in well under 20 ms; the transport's own 32 MiB took seconds).
// A longer answer stops its transfer and counts as a failed request.

#include <cstddef>

namespace mivo {

struct MaxAnswerBytes {
    // Sign-in start, grant exchange, refresh, the signed-in user: a few
    // hundred bytes of tokens and names.
    std::size_t account;
    // A rewrite: the rewritten text (the target is at most a few thousand
    // Characters) and a few fields, or an error body that quotes it.
    std::size_t rewrite;
    // A rating's receipt: an id and a date.
    std::size_t feedback;
    // The update feed: a version and an address.
    std::size_t updateFeed;
};

inline constexpr MaxAnswerBytes kMaxAnswerBytes{
    .account = 64 * 1024,
    .rewrite = 256 * 1024,
    .feedback = 64 * 1024,
    .updateFeed = 64 * 1024,
};

}  // namespace mivo
