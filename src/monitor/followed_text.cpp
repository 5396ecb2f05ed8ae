#include "monitor/followed_text.hpp"

#include <utility>

#include "monitor/text_change_reports.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// Reports kept between two bursts; more means a burst of another kind (a
// paste of many lines, a replace-all), which is read whole.
constexpr std::size_t kMaxPendingReports = 256;

FollowedChange ofKind(FollowedChange::Kind kind) {
    FollowedChange change;
    change.kind = kind;
    return change;
}

}  // namespace

void FollowedText::keepWhole(const std::optional<FieldText>& read) {
    lengthCheckDue_ = false;
    pending_.clear();
    lost_ = false;
    deferred_ = false;
    if (!read || read->source != FieldText::Source::value) {
        kept_.reset();
        return;
    }
    kept_.emplace();
    kept_->text = read->text;
}

void FollowedText::forget() {
    kept_.reset();
    pending_.clear();
    lost_ = false;
    deferred_ = false;
    lengthCheckDue_ = false;
    lastLength_ = -1;
    lengthAnswered_ = false;
}

void FollowedText::noteReport(const AXTextChange& change) {
    if (pending_.size() >= kMaxPendingReports) {
        lost_ = true;
        return;
    }
    pending_.push_back(change);
}

bool FollowedText::noteLength(std::optional<int64_t> length) {
    lengthAnswered_ = length.has_value();
    if (!length)
        return true;
    const int64_t n = *length;
    if (n == lastLength_)
        return false;
    if (kept_ && lastLength_ >= 0)
        kept_->unitsChangedSinceRead += n > lastLength_ ? n - lastLength_ : lastLength_ - n;
    lastLength_ = n;
    return true;
}

std::optional<FollowedChange> FollowedText::applyReports(std::optional<int64_t> length) {
    if (!kept_ || !kept_->contentKnown || pending_.empty() || lost_)
        return std::nullopt;
    const AXTextChange::Unit unit = pending_.front().unit;
    if (!kept_->units || kept_->unit != unit) {
        kept_->units = textLength(kept_->text, unit);
        kept_->unit = unit;
    }
    if (!kept_->utf16Units)
        kept_->utf16Units = text::utf16Length(kept_->text);
    std::string applied = kept_->text;
    int64_t units = *kept_->units;
    int64_t utf16Units = *kept_->utf16Units;
    if (!applyTextChanges(applied, pending_, units, utf16Units) || (length && units != *length))
        return std::nullopt;
    FollowedChange change = ofKind(FollowedChange::Kind::reported);
    const AXTextChange& last = pending_.back();
    const int64_t at = last.offset + (last.kind == AXTextChange::Kind::inserted ? last.length : 0);
    if (unit == AXTextChange::Unit::utf16)
        change.caret = Utf16Range{at, 0};
    else if (const auto byte = byteOffsetOf(applied, unit, at, units))
        change.caret =
            Utf16Range{utf16Units - text::utf16Length(std::string_view(applied).substr(*byte)), 0};
    pending_.clear();
    change.text = FieldText{applied, FieldText::Source::value, 0};
    kept_.emplace();
    kept_->text = std::move(applied);
    kept_->units = units;
    kept_->unit = unit;
    kept_->utf16Units = utf16Units;
    return change;
}

FollowedChange FollowedText::takeReports() {
    auto change = applyReports(std::nullopt);
    if (!change)
        return ofKind(FollowedChange::Kind::lengthNeeded);
    // The length the reports make stands for the field's until the check.
    lastLength_ = *kept_->units;
    lengthCheckDue_ = true;
    return std::move(*change);
}

FollowedChange FollowedText::afterLengthMoved(int64_t checkableCharacters) {
    if (lengthAnswered_) {
        if (auto change = applyReports(lastLength_)) {
            deferred_ = false;
            return std::move(*change);
        }
    }
    auto changes = std::exchange(pending_, {});
    const bool lost = std::exchange(lost_, false);
    if (kept_ && kept_->contentKnown && !changes.empty() && !lost && lengthAnswered_ &&
        !std::exchange(deferred_, true)) {
        // Settled by the next burst, or else by the next poll tick, which
        // reads the field whole.
        pending_ = std::move(changes);
        return ofKind(FollowedChange::Kind::deferred);
    }
    deferred_ = false;
    // Each unit changed takes at most one Character away.
    if (kept_ && lengthAnswered_) {
        if (!kept_->characters)
            kept_->characters = text::characterCount(kept_->text);
        int64_t changed = kept_->unitsChangedSinceRead;
        for (const auto& change : changes)
            changed += change.length;
        if (*kept_->characters - changed > checkableCharacters) {
            kept_->contentKnown = false;
            kept_->unitsChangedSinceRead = changed;
            FollowedChange change = ofKind(FollowedChange::Kind::tooLong);
            change.text = FieldText{kept_->text, FieldText::Source::value, 0};
            change.atLeastCharacters = *kept_->characters - changed;
            return change;
        }
    }
    return ofKind(FollowedChange::Kind::readWhole);
}

bool FollowedText::takeLengthCheck() {
    return std::exchange(lengthCheckDue_, false);
}

}  // namespace mivo
