#include "monitor/block_write.hpp"

#include <utility>

namespace mivo {

void BlockWrite::start(const std::optional<AXElement>& block, std::optional<CaretAround> caret,
                       Cancel ends) {
    ends_.cancel();
    into_ = block;
    caretAround_ = caret;
    ends_ = std::move(ends);
}

Utf16Range BlockWrite::CaretAround::movedWith(int64_t unitsNow) const {
    Utf16Range moved = caret;
    moved.location += unitsNow - unitsBefore;
    return moved;
}

std::optional<BlockWrite::Ended> BlockWrite::end() {
    if (!into_)
        return std::nullopt;
    Ended ended{*std::exchange(into_, std::nullopt), std::exchange(caretAround_, std::nullopt)};
    ends_.cancel();
    return ended;
}

std::optional<BlockWrite::OwnTextRun> BlockWrite::takeOwnTextRun() {
    return std::exchange(ownTextRun_, std::nullopt);
}

void BlockWrite::keepUserCaret(UserCaret caret, Cancel giveUp) {
    userCaret_ = std::move(caret);
    userCaretGiveUp_ = std::move(giveUp);
}

std::optional<BlockWrite::UserCaret> BlockWrite::takeUserCaret() {
    if (!userCaret_)
        return std::nullopt;
    auto caret = std::exchange(userCaret_, std::nullopt);
    std::exchange(userCaretGiveUp_, Cancel()).cancel();
    return caret;
}

void BlockWrite::forget() {
    std::exchange(userCaretGiveUp_, Cancel()).cancel();
    userCaret_.reset();
    ends_.cancel();
    into_.reset();
    caretAround_.reset();
}

}  // namespace mivo
