#pragma once

// What differs between the toolkits behind AT-SPI objects, measured with
// the real applications: the unit their text offsets count, what their text
// reads carry besides the text, how long they take an inserted text to be,
// and how they answer range extents. Pure: no bus is needed here.
//
// Offsets of the ports are UTF-16 units of the element's value. GTK and
// Chromium count code points; Qt, Gecko and LibreOffice count UTF-16 units
// (LibreOffice whatever toolkit it names: its own text model counts them),
// and Gecko
// pads its text reads with U+FEFF after each character outside the BMP so
// that indexes into the returned code points match its offsets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/accessibility.hpp"
#include "platform/ax_value.hpp"
#include "platform/geometry.hpp"

namespace mivo::linux_desktop {

// GTK 4 differs from GTK 2 and 3 in geometry and selection, not in text.
// LibreOffice answers through the toolkit it draws with (GTK 3, Qt) but
// with its own text model behind.
enum class Toolkit { gtk, gtk4, qt, gecko, chromium, libreoffice, other };

// From atspi_accessible_get_toolkit_name ("GTK", "gail", "Qt", "Gecko",
// "Chromium", ...), for GTK its toolkit version, and the application's
// name ("soffice" is LibreOffice, whatever toolkit it names).
Toolkit toolkitNamed(std::string_view name, std::string_view version = {},
                     std::string_view application = {});
std::string_view toolkitLabel(Toolkit toolkit);

// A range of the toolkit's own offsets, [start, end).
struct ToolkitRange {
    int64_t start = 0;
    int64_t end = 0;
    bool operator==(const ToolkitRange&) const = default;
};

bool countsUtf16(Toolkit toolkit);

// The text as the user wrote it, from what the toolkit's text read answered.
std::string textFromToolkit(Toolkit toolkit, std::string raw);
// The value's length in the toolkit's offsets.
int64_t toolkitLength(Toolkit toolkit, std::string_view value);
// Nothing for a range outside the value or with an end inside a surrogate pair.
std::optional<ToolkitRange> toToolkitRange(Toolkit toolkit, std::string_view value,
                                           Utf16Range range);
// Offsets past the end are clamped to it: applications report offsets of
// text they have changed since. Reversed ranges are put in order.
Utf16Range fromToolkitRange(Toolkit toolkit, std::string_view value, ToolkitRange range);

// The length argument EditableText's insert takes for `insert`: GTK reads
// UTF-8 bytes (or ignores it), Qt reads UTF-16 units. Nothing where the
// toolkit's reading is unknown or its insert is known not to work (Gecko
// answers TRUE and changes nothing): that route is refused there.
std::optional<int64_t> insertionLength(Toolkit toolkit, std::string_view insert);

// Whether EditableText writes can be trusted to do what they answer.
bool editableTextWorks(Toolkit toolkit);

// Whether the whole value may be written at once (set_text_contents).
// LibreOffice's drops the character formatting of the paragraph (bold,
// italics, links, character styles), GTK 4's clears the undo history;
// there a correction is a range edit, delete and insert of the range,
// which keeps both (as two undo steps).
bool writesWholeValue(Toolkit toolkit);

// The one place that decides, per toolkit, which write routes the
// correction write-back takes first. Where EditableText works the editor's
// own range writes are trusted and go before the whole-value write, which
// its undo history keeps as "delete all, insert all" (undoing it would
// first empty the document); among them a paste over the selection is one
// undo step, EditableText's delete and insert two. A toolkit whose
// whole-value write loses formatting or objects gets `wholeValue` false.
WriteRouteTrust writeRouteTrustOf(Toolkit toolkit);

// The offsets to ask get_range_extents for `range` (non-empty): Qt's answer
// covers the character at the end offset too.
ToolkitRange extentsQuery(Toolkit toolkit, std::string_view value, ToolkitRange range);

// The selection a toolkit's report stands for. Chromium converts the
// selection it reports from UTF-16 units to code points twice: selecting
// code points (7, 9) after 😀𠮷 reads back as (5, 7); set and caret
// offsets are right.
// A selection that starts or ends inside a surrogate pair when read as UTF-16
// units is reported empty: the selection made last (`ours`) is taken where
// the caret, which is reported right, still agrees with it, and only while
// the text is the one it was made in. Once a paste replaced it with text of
// the same length, the caret after the paste sits where our selection
// ended, and taking ours would keep a selection that is gone.
struct OurSelection {
    ToolkitRange range;
    std::string value;  // the text it was made in
};
ToolkitRange selectionFromReport(Toolkit toolkit, std::string_view value,
                                 std::optional<ToolkitRange> reported, int64_t caret,
                                 const std::optional<OurSelection>& ours);

// Whether the toolkit places objects on the screen. GTK 4 on X11 knows no
// window positions: it answers window coordinates (for text only those)
// that need the X window's origin added.
bool answersScreenCoordinates(Toolkit toolkit);
// Whether range extents can be trusted: GTK 4 answers garbage, Gecko a
// rectangle narrower than one character, Chromium one of no width left of
// the field. There a range is the union of its characters' extents.
bool answersRangeExtents(Toolkit toolkit);
// Whether the application's screen positions can go stale: LibreOffice
// learns where its window is only when it is clicked (a window it opened
// answers its window coordinates as screen coordinates until then).
bool mayAnswerStalePositions(Toolkit toolkit);
// Whether a range's screen rectangle (`onScreen`) from such an application
// must not be drawn yet: it lies outside the window it belongs to
// (`window`, the X server's rectangle of what the window shows), or the
// application places its window at the screen's origin (`windowOffset`,
// its screen minus its window coordinates of the same character) while
// the window is elsewhere. Such an answer is asked again later.
bool looksStale(const Rect& onScreen, Point windowOffset, const Rect& window);
// A box of no height (KTextEditor's character boxes: the line's top, no
// height, and x moved right by the width of its border) made usable: it
// takes `lineHeight`, and x moves back by what the line's first character
// (`lineStartX`) lies right of the field's left edge (`field`) beyond a
// pixel of padding, when that is more than any widget's padding. Nothing
// when there is no height to take or the box then lies outside the field.
std::optional<Rect> flatBoxRepaired(const Rect& box, double lineHeight, double lineStartX,
                                    const Rect& field);
// Whether AddSelection is answered; GTK 4 makes the selection and never
// replies, so the call is sent without waiting for a reply.
bool repliesToAddSelection(Toolkit toolkit);

// A text holding U+FFFC stands for embedded objects (links, images,
// anchors): writing it whole would replace them by the character itself.
bool holdsEmbeddedObjects(std::string_view text);

}  // namespace mivo::linux_desktop
