#include "monitor/followed_text.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "monitor/text_change_reports.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

// Reports kept between two bursts; more means a burst of another kind (a
// paste of many lines, a replace-all), which is read whole.
constexpr std::size_t kMaxPendingReports = 256;
// An unchanged field is read whole once every this many text-poll ticks.
constexpr int kQuietTicksPerFullRead = 30;

FollowedChange ofKind(FollowedChange::Kind kind) {
    FollowedChange change;
    change.kind = kind;
    return change;
}

// How far apart two texts stand: the bytes of both outside what they
// begin and end with alike, cut at whole characters.
std::size_t apart(std::string_view a, std::string_view b) {
    const auto continues = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    const std::size_t shorter = std::min(a.size(), b.size());
    std::size_t prefix = 0;
    while (prefix < shorter && a[prefix] == b[prefix])
        ++prefix;
    while (prefix > 0 && prefix < a.size() && continues(a[prefix]))
        --prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    while (suffix > 0 && continues(a[a.size() - suffix]))
        --suffix;
    return a.size() + b.size() - 2 * (prefix + suffix);
}

}  // namespace

void FollowedText::keepWhole(const std::optional<FieldText>& read) {
    auto before = textTheReportsMake();
    beforeRead_.reset();
    lengthCheckDue_ = false;
    pending_.clear();
    lost_ = false;
    deferred_ = false;
    if (!read || (read->source != FieldText::Source::value && !read->text.empty())) {
        kept_.reset();
        return;
    }
    kept_.emplace();
    kept_->text = read->text;
    // A read that found no text at all, not even as a value, says nothing
    // of where the reports' offsets count from; but the reports of the
    // next keys build on it, and the next read is compared with them.
    kept_->takesReports = read->source == FieldText::Source::value;
    if (before && *before != read->text)
        beforeRead_ = std::move(before);
}

void FollowedText::forget() {
    kept_.reset();
    beforeRead_.reset();
    pending_.clear();
    lost_ = false;
    deferred_ = false;
    lengthCheckDue_ = false;
    lastLength_ = -1;
    lengthAnswered_ = false;
    lastMark_.reset();
    toldSinceTick_ = false;
    burstAccountedSinceTick_ = false;
    markStale_ = false;
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
    if (!kept_ || !kept_->contentKnown || !kept_->takesReports || pending_.empty() || lost_)
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

std::optional<std::string> FollowedText::textTheReportsMake() {
    if (!kept_ || !kept_->contentKnown || lost_)
        return std::nullopt;
    // Behind the last read, the reports still build on what they had made
    // before it, not on the read.
    std::string text = beforeRead_ ? *beforeRead_ : kept_->text;
    if (pending_.empty())
        return text;
    int64_t units = textLength(text, pending_.front().unit);
    int64_t utf16Units = 0;
    if (!applyTextChanges(text, pending_, units, utf16Units))
        return std::nullopt;
    return text;
}

bool FollowedText::dropReportsAlreadyRead() {
    // A burst that brought no reports (a caret that moved first) leaves the
    // question to the first one that does.
    if (pending_.empty())
        return false;
    auto before = std::exchange(beforeRead_, std::nullopt);
    if (!before || !kept_ || lost_)
        return false;
    // The reports arrive in the order the changes were made, so those the
    // read holds come first: the shortest run of them that turns the text
    // before it into the read. A later change undoing an earlier one makes
    // the same text either way.
    const AXTextChange::Unit unit = pending_.front().unit;
    const std::size_t apartAtFirst = apart(*before, kept_->text);
    int64_t units = textLength(*before, unit);
    int64_t utf16Units = 0;
    std::size_t taken = 0;
    while (taken < pending_.size() && *before != kept_->text) {
        if (pending_[taken].unit != unit ||
            !applyTextChanges(*before, {pending_[taken]}, units, utf16Units))
            return false;
        ++taken;
    }
    if (*before != kept_->text) {
        // All of them fit the text before the read and none reached it:
        // the first of the reports it holds, the rest still on their way
        // (a read between two keys' reports, or before a removal's); or
        // news after a change that was never told, made on the read, which
        // leads away from it. Those that were read wait for the rest.
        if (apart(*before, kept_->text) >= apartAtFirst)
            return false;
        beforeRead_ = std::move(before);
        units = textLength(kept_->text, unit);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken));
    if (!pending_.empty())
        return false;
    // The length the read makes in the reports' unit stands for the
    // field's until the check, as after any reports.
    lastLength_ = units;
    lengthCheckDue_ = true;
    return true;
}

FollowedChange FollowedText::takeReports() {
    if (dropReportsAlreadyRead())
        return ofKind(FollowedChange::Kind::alreadyRead);
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
    if (kept_ && kept_->contentKnown && kept_->takesReports && !pending_.empty() && !lost_ &&
        lengthAnswered_ && !std::exchange(deferred_, true)) {
        // Settled by the next burst, or else by the next poll tick, which
        // reads the field whole.
        return ofKind(FollowedChange::Kind::deferred);
    }
    deferred_ = false;
    // Each unit changed takes at most one Character away.
    if (kept_ && lengthAnswered_) {
        if (!kept_->characters)
            kept_->characters = text::characterCount(kept_->text);
        int64_t changed = kept_->unitsChangedSinceRead;
        for (const auto& change : pending_)
            changed += change.length;
        if (*kept_->characters - changed > checkableCharacters) {
            pending_.clear();
            lost_ = false;
            kept_->contentKnown = false;
            kept_->unitsChangedSinceRead = changed;
            FollowedChange change = ofKind(FollowedChange::Kind::tooLong);
            change.text = FieldText{kept_->text, FieldText::Source::value, 0};
            change.atLeastCharacters = *kept_->characters - changed;
            return change;
        }
    }
    // The reports stay for the read (keepWhole()): the changes the read
    // holds may have more reports on their way, which build on these.
    return ofKind(FollowedChange::Kind::readWhole);
}

bool FollowedText::takeLengthCheck() {
    return std::exchange(lengthCheckDue_, false);
}

bool FollowedText::tickReadsWhole(bool observed,
                                  const std::function<std::optional<int64_t>()>& length,
                                  const std::function<std::optional<std::string>()>& mark) {
    const bool unverified = takeLengthCheck();
    const bool disagrees = unverified && noteLength(length());
    const bool quiet = observed && !toldSinceTick_ && !disagrees;
    if (std::exchange(burstAccountedSinceTick_, false) && quiet) {
        // The field's notifications were read since the last tick: what it
        // holds now is known, and only a later change is news. While its
        // reports keep coming, the length was all this tick needed; the
        // mark is taken on the first tick that hears of nothing.
        quietTicks_ = 0;
        markStale_ = unverified;
        if (!unverified)
            lastMark_ = mark();
        return false;
    }
    auto now = mark();
    if (observed && std::exchange(markStale_, false) && quiet) {
        lastMark_ = std::move(now);
        quietTicks_ = 0;
        return false;
    }
    if (quiet && now && now == lastMark_ && ++quietTicks_ < kQuietTicksPerFullRead)
        return false;
    lastMark_ = std::move(now);
    toldSinceTick_ = false;
    quietTicks_ = 0;
    return true;
}

}  // namespace mivo
