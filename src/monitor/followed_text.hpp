#pragma once

// The followed field's text as the monitor keeps it between whole reads:
// the value last read, brought up to date with the field's own change
// reports, and what the field's length said since. It answers what a burst
// of notifications made of the text and when only a whole read will do; it
// reads nothing of the field itself.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "field/ax_text_extractor.hpp"
#include "platform/accessibility.hpp"
#include "platform/geometry.hpp"

namespace mivo {

using FieldText = AXTextExtractor::ExtractedText;

// What the kept text made of a burst of the field's notifications.
struct FollowedChange {
    enum class Kind {
        // The reports made `text`; `caret` is where the last of them left
        // the caret, as typing leaves it.
        reported,
        // The reports that came were of changes the last whole read already
        // found: the text is that read's, and the burst nothing new.
        alreadyRead,
        // Nothing could be made without the field's length: ask it, and
        // then afterLengthMoved() when it moved.
        lengthNeeded,
        // The reports fall short of the length: kept for the next burst, as
        // the length may hold a change whose report is still on its way.
        deferred,
        // The field is known to be longer than anything checkable and what
        // changed cannot have brought it back within reach: nothing is
        // read. `text` is the kept text standing for it, `atLeastCharacters`
        // what the field holds at least.
        tooLong,
        // Only a whole read will do: read the field and keepWhole() it.
        readWhole,
    };
    Kind kind = Kind::readWhole;
    FieldText text;
    std::optional<Utf16Range> caret;
    int64_t atLeastCharacters = 0;
};

class FollowedText {
  public:
    // A whole read of the field: the text the next reports apply to. A read
    // that is not the field's value, or none, leaves nothing kept. Reports
    // may still be on their way of changes the read already holds, also
    // past further reads and over several bursts: those that come first
    // and lead from the text the reports had made towards this one are
    // taken as read.
    void keepWhole(const std::optional<FieldText>& read);
    // The field is no longer followed.
    void forget();

    // One change report of the field, in the order they came.
    void noteReport(const AXTextChange& change);
    // The field's length as just asked, nothing when it did not answer;
    // whether it moved since the last answer (no answer counts as moved).
    // What moved counts against what the kept text is known to hold at
    // least.
    bool noteLength(std::optional<int64_t> length);

    // The text the reports not yet applied make of the kept one, without
    // asking the field's length (`reported` or `alreadyRead`, else
    // `lengthNeeded`). The length is then due once, at the next
    // takeLengthCheck().
    FollowedChange takeReports();
    // After a burst whose length moved (and takeReports() could not say):
    // the reports when they add up to the length, else whether to wait, to
    // leave a long field unread or to read it whole (then keepWhole() the
    // read). `checkableCharacters` is the longest text worth reading.
    FollowedChange afterLengthMoved(int64_t checkableCharacters);
    // Whether a text was taken from reports alone since the last call: the
    // field's length is then asked, and a field that disagrees read whole.
    bool takeLengthCheck();

    // --- When the text poll reads the field whole -------------------------
    // A notification of the field came: what it told of is news to the
    // next tick until a burst read accounts for it.
    void noteNotification() { toldSinceTick_ = true; }
    // A burst read accounted for every change the field told of: the next
    // tick takes the field's mark as its baseline instead of reading.
    void noteBurstAccounted() {
        toldSinceTick_ = false;
        burstAccountedSinceTick_ = true;
    }
    // Whether this text-poll tick reads the field whole: only when its
    // mark (lengths and caret) moved, it told of a change no burst read
    // accounted for, a text taken from reports disagrees with its length,
    // and now and then in case a change went unannounced. Unless
    // `observed` (its notifications are heard), every tick reads: one
    // Character typed over another keeps the length and the caret.
    // `length` and `mark` ask the field, each only when its answer counts.
    bool tickReadsWhole(bool observed, const std::function<std::optional<int64_t>()>& length,
                        const std::function<std::optional<std::string>()>& mark);

  private:
    // The value as last read or as the reports made it since; the
    // Characters it was read with (or at least holds), and the length units
    // that moved since without being explained.
    struct Kept {
        std::string text;
        bool contentKnown = true;
        // The field's value, which the reports apply to; not so for a read
        // that found no text at all, which is only what the next read's
        // reports are compared with.
        bool takesReports = true;
        std::optional<int64_t> characters;
        int64_t unitsChangedSinceRead = 0;
        // Its length in the reports' unit and in UTF-16 units, once asked
        // for, kept up to date with the reports.
        std::optional<int64_t> units;
        AXTextChange::Unit unit = AXTextChange::Unit::utf16;
        std::optional<int64_t> utf16Units;
    };

    // The kept text with the pending reports applied, when they fit it and,
    // where `length` is given, add up to it; the reports are then taken in.
    std::optional<FollowedChange> applyReports(std::optional<int64_t> length);
    // The kept text with the pending reports applied, nothing when they do
    // not fit it; the kept text itself when none are pending.
    std::optional<std::string> textTheReportsMake();
    // Drops the pending reports that lead from the text before the last
    // whole read to the read, or towards it; whether that left none.
    bool dropReportsAlreadyRead();

    std::optional<Kept> kept_;
    // What the reports had made of the field when the kept text was read
    // whole, while it differs from the read: reports of the changes between
    // the two may still come. Each burst with reports takes it a step nearer
    // the read; it goes once it reaches the read or a report leads away.
    std::optional<std::string> beforeRead_;
    std::vector<AXTextChange> pending_;
    // Reports were lost on the way (too many between two bursts).
    bool lost_ = false;
    // The pending reports already waited for one burst.
    bool deferred_ = false;
    bool lengthCheckDue_ = false;
    // The last length the field answered (-1: none yet), and whether the
    // last time it was asked it answered.
    int64_t lastLength_ = -1;
    bool lengthAnswered_ = false;

    // What the text poll last saw of the field without reading its text.
    std::optional<std::string> lastMark_;
    bool toldSinceTick_ = false;
    bool burstAccountedSinceTick_ = false;
    // The mark was not taken after the last burst the reports explained:
    // the next tick without news takes it.
    bool markStale_ = false;
    int quietTicks_ = 0;
};

}  // namespace mivo
