#pragma once

// The part of SVG path data that the sign-in mark needs: moves, straight
// lines, cubic curves with their smooth shorthand, and closing. Other
// commands (quadratic curves, arcs) are skipped. Nothing fails: stray
// characters vanish, missing numbers read as 0.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/geometry.hpp"

namespace mivo::SVGPathParser {

struct Command {
    char letter = 0;
    bool operator==(const Command&) const = default;
};
struct Number {
    double value = 0;
    bool operator==(const Number&) const = default;
};
using Token = std::variant<Command, Number>;

std::vector<Token> tokenize(std::string_view data);

// One step of a drawn path, in the data's own coordinates.
struct PathElement {
    enum class Kind { move, line, cubic, close };
    Kind kind = Kind::move;
    Point control1;  // cubic only
    Point control2;  // cubic only
    Point to;        // move, line, cubic; for close, the subpath's start
    bool operator==(const PathElement&) const = default;
};

// The path of `data`. Every subpath begins with a move: a segment after a
// close, or before any move, starts at the current point (after a close,
// the closed subpath's start).
std::vector<PathElement> path(std::string_view data);

}  // namespace mivo::SVGPathParser
