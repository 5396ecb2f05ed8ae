#pragma once

// A reading set as ruby over its base text, as a text layout takes it: where
// the reading sits, how it aligns and overhangs its base, how large it is
// against the base text, and any further text attributes (font, colour ...)
// under the layout's own keys.

#include <map>
#include <optional>
#include <string>
#include <variant>

namespace mivo {

enum class RubyAlignment {
    automatic,
    start,
    center,
    end,
    distributeLetter,
    distributeSpace,
    lineEdge
};

// Whether the reading may run over the characters beside its base.
enum class RubyOverhang { automatic, start, end, none };

// Above the base in horizontal text (right of it in vertical text), below it,
// between its characters, or inline after it.
enum class RubyPosition { before, after, interCharacter, inlineAfter };

using RubyAttributeValue = std::variant<bool, double, std::string>;
using RubyAttributes = std::map<std::string, RubyAttributeValue>;

struct RubyAnnotation {
    // The key under which the size factor travels among the attributes.
    static constexpr const char* sizeFactorKey = "sizeFactor";

    std::string reading;
    RubyAlignment alignment = RubyAlignment::automatic;
    RubyOverhang overhang = RubyOverhang::automatic;
    RubyPosition position = RubyPosition::before;
    // Everything the layout applies to the reading, the size factor included.
    RubyAttributes attributes;

    // The reading's size against the base text's: the number under
    // `sizeFactorKey`; nothing when that entry is missing or not a number.
    std::optional<double> sizeFactor() const;

    bool operator==(const RubyAnnotation&) const = default;
};

// The attributes of a ruby: the size factor under `sizeFactorKey`, then the
// caller's attributes, each of the caller's keys replacing an entry already
// there (so a caller's own size factor wins).
RubyAttributes mergedRubyAttributes(double sizeFactor, const RubyAttributes& attributes);

}  // namespace mivo
