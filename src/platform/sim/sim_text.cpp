#include "platform/sim/sim_text.hpp"

#include <algorithm>
#include <cmath>

#include "shared/text.hpp"

namespace mivo::sim {
namespace {

bool isLineFeed(std::string_view character) {
    return character == "\n" || character == "\r\n";
}

struct Cell {
    int64_t line = 0;
    int64_t column = 0;
};

// The cell of every Character boundary 0...count of the text.
std::vector<Cell> cells(const text::CharacterText& t) {
    std::vector<Cell> out;
    out.reserve(static_cast<std::size_t>(t.count()) + 1);
    Cell c;
    for (int64_t i = 0; i < t.count(); ++i) {
        out.push_back(c);
        if (isLineFeed(t.at(i)))
            c = Cell{c.line + 1, 0};
        else
            ++c.column;
    }
    out.push_back(c);
    return out;
}

}  // namespace

SimText::SimText(std::string value) {
    setValue(std::move(value));
}

std::string SimText::selectedText() const {
    return stringForRange(selection_).value_or("");
}

std::optional<std::string> SimText::stringForRange(Utf16Range range) const {
    if (range.location < 0 || range.length < 0 || range.end() > utf16Length_)
        return std::nullopt;
    const auto from = text::utf16ToByteOffset(value_, range.location);
    const auto to = text::utf16ToByteOffset(value_, range.end());
    if (!from || !to)
        return std::nullopt;
    return value_.substr(*from, *to - *from);
}

bool SimText::setSelection(Utf16Range range) {
    if (!stringForRange(range))
        return false;
    selection_ = range;
    return true;
}

void SimText::setValue(std::string value) {
    value_ = std::move(value);
    utf16Length_ = text::utf16Length(value_);
    selection_ = Utf16Range{utf16Length_, 0};
}

void SimText::replaceSelection(std::string_view insert, int64_t keepTailCharacters) {
    const std::size_t from = *text::utf16ToByteOffset(value_, selection_.location);
    std::size_t to = *text::utf16ToByteOffset(value_, selection_.end());
    if (keepTailCharacters > 0) {
        const text::CharacterText selected(value_.substr(from, to - from));
        const int64_t keep = std::min(keepTailCharacters, selected.count());
        to = from + selected.byteOffset(selected.count() - keep);
    }
    replaceBytes(from, to, insert);
}

void SimText::deleteBackward() {
    if (selection_.length > 0) {
        replaceSelection("");
        return;
    }
    const std::size_t caret = *text::utf16ToByteOffset(value_, selection_.location);
    const text::CharacterText before(value_.substr(0, caret));
    if (before.empty())
        return;
    replaceBytes(before.byteOffset(before.count() - 1), caret, "");
}

void SimText::replaceBytes(std::size_t from, std::size_t to, std::string_view insert) {
    value_.replace(from, to - from, insert);
    utf16Length_ = text::utf16Length(value_);
    const int64_t caret =
        text::utf16Length(std::string_view(value_).substr(0, from + insert.size()));
    selection_ = Utf16Range{caret, 0};
}

std::optional<Rect> boundsForRange(std::string_view value, Utf16Range range,
                                   const MonospaceLayout& layout) {
    const text::CharacterText t{std::string(value)};
    if (range.location < 0 || range.length < 0)
        return std::nullopt;
    // A range that starts or ends inside a Character covers the whole one.
    const auto boundaryAtOrBefore = [&](int64_t utf16) -> std::optional<int64_t> {
        for (int64_t u = utf16; u >= 0; --u) {
            if (auto i = t.characterIndexAtUtf16(u))
                return i;
        }
        return std::nullopt;
    };
    const auto first = boundaryAtOrBefore(range.location);
    auto last = boundaryAtOrBefore(range.end());
    if (!first || !last || range.end() > t.utf16Offset(t.count()))
        return std::nullopt;
    if (t.utf16Offset(*last) < range.end())
        ++*last;
    const auto cell = cells(t);
    const auto cellRect = [&](Cell c, double width) {
        return Rect{layout.frame.x + static_cast<double>(c.column) * layout.characterWidth,
                    layout.frame.y + static_cast<double>(c.line) * layout.lineHeight, width,
                    layout.lineHeight};
    };
    if (*first == *last)
        return cellRect(cell[static_cast<std::size_t>(*first)], 0);
    std::optional<Rect> out;
    for (int64_t i = *first; i < *last; ++i) {
        const Rect r = cellRect(cell[static_cast<std::size_t>(i)],
                                isLineFeed(t.at(i)) ? 0 : layout.characterWidth);
        out = out ? out->united(r) : r;
    }
    return out;
}

int64_t utf16OffsetAt(std::string_view value, Point point, const MonospaceLayout& layout) {
    const text::CharacterText t{std::string(value)};
    const auto cell = cells(t);
    const auto line = static_cast<int64_t>(
        std::floor((point.y - layout.frame.y) / std::max(layout.lineHeight, 1.0)));
    const auto column = static_cast<int64_t>(
        std::lround((point.x - layout.frame.x) / std::max(layout.characterWidth, 1.0)));
    // The last boundary on the line at or before the column.
    int64_t best = -1;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i].line < line || (cell[i].line == line && cell[i].column <= column))
            best = static_cast<int64_t>(i);
    }
    return t.utf16Offset(std::max<int64_t>(best, 0));
}

std::vector<std::string> lines(std::string_view value) {
    const text::CharacterText t{std::string(value)};
    std::vector<std::string> out(1);
    for (int64_t i = 0; i < t.count(); ++i) {
        if (isLineFeed(t.at(i)))
            out.emplace_back();
        else
            out.back() += t.at(i);
    }
    return out;
}

}  // namespace mivo::sim
