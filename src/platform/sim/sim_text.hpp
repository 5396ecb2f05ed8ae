#pragma once

// The contents of a simulated text field (its value and selection, kept
// consistent through every edit) and the monospace layout that places its
// Characters on the screen.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.hpp"

namespace mivo::sim {

class SimText {
  public:
    explicit SimText(std::string value = {});

    const std::string& value() const { return value_; }
    int64_t utf16Length() const { return utf16Length_; }
    Utf16Range selection() const { return selection_; }
    std::string selectedText() const;
    // Nothing for a range outside the value or through a surrogate pair.
    std::optional<std::string> stringForRange(Utf16Range range) const;

    // False (and nothing changes) for a range stringForRange refuses.
    bool setSelection(Utf16Range range);
    // The whole value; the caret goes to its end.
    void setValue(std::string value);
    // Puts `insert` in place of the selection, caret after it. With
    // `keepTailCharacters` > 0 the last that many Characters of the selection
    // stay behind the insert (an editor that replaced only the start).
    void replaceSelection(std::string_view insert, int64_t keepTailCharacters = 0);
    // Backspace: the selection, or the Character before the caret.
    void deleteBackward();

  private:
    void replaceBytes(std::size_t from, std::size_t to, std::string_view insert);

    std::string value_;
    int64_t utf16Length_ = 0;
    Utf16Range selection_;
};

// Every Character takes one cell of `characterWidth`; a line feed starts a
// new line `lineHeight` further down. Coordinates are the accessibility
// interface's (top-left origin, y down).
struct MonospaceLayout {
    Rect frame;
    double characterWidth = 10;
    double lineHeight = 20;
};

// The union of the cells of the range's Characters; a range of length 0
// gives a zero-width caret bar. Nothing for a range outside the text.
std::optional<Rect> boundsForRange(std::string_view value, Utf16Range range,
                                   const MonospaceLayout& layout);
// The UTF-16 offset of the Character boundary nearest to a point.
int64_t utf16OffsetAt(std::string_view value, Point point, const MonospaceLayout& layout);
// The text's lines, without their line feeds.
std::vector<std::string> lines(std::string_view value);

}  // namespace mivo::sim
