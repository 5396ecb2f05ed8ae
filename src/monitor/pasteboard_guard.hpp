#pragma once

// Keeps the user's clipboard safe while text of ours passes through it on
// its way into another application. There is one guard per pasteboard, so
// per process: every paste of the process (a correction, a rewrite) goes
// through it, and pastes that overlap share one saved copy of the user's
// contents. Were each paste to save on its own, the second would save the
// first one's text and put that back as the "user's" clipboard.
//
// Whoever else writes to the pasteboard while text of ours is on it (the
// user copying, another application) wins: nothing is put back over it.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "platform/pasteboard.hpp"

namespace mivo {

class PasteboardGuard {
  public:
    // One paste's claim on the pasteboard, from putting its text on until
    // its restore.
    struct Hold {
        uint64_t id = 0;
    };

    // The guard of this pasteboard, shared by everyone who holds it; a new
    // one when nobody does.
    static std::shared_ptr<PasteboardGuard> of(Pasteboard& pasteboard);

    explicit PasteboardGuard(Pasteboard& pasteboard) : pasteboard_(pasteboard) {}
    PasteboardGuard(const PasteboardGuard&) = delete;
    PasteboardGuard& operator=(const PasteboardGuard&) = delete;

    // Saves the user's contents unless an earlier paste still holds them,
    // then puts `text` on the pasteboard as a string. When the pasteboard
    // refuses it, the user's contents go back at once and there is no hold.
    std::optional<Hold> putText(std::string_view text);
    // Ends a hold. When it was the last one, the user's contents go back,
    // unless someone else has written to the pasteboard since we did.
    // Releasing a hold twice does nothing.
    void release(Hold hold);

    bool isHolding() const { return !holds_.empty(); }

  private:
    bool writtenByUs() { return pasteboard_.changeCount() == ourChangeCount_; }

    Pasteboard& pasteboard_;
    std::vector<PasteboardItem> saved_;
    std::set<uint64_t> holds_;
    uint64_t nextHold_ = 1;
    // The change count right after our last write: anything else means
    // someone else wrote since.
    int64_t ourChangeCount_ = -1;
};

}  // namespace mivo
