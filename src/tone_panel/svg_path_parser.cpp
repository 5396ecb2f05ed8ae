#include "tone_panel/svg_path_parser.hpp"

#include <charconv>
#include <cstddef>
#include <optional>

namespace mivo::SVGPathParser {

namespace {

constexpr std::string_view commandLetters = "MmLlHhVvCcSsQqTtAaZz";

bool isSeparator(char c) {
    return c == ' ' || c == ',' || c == '\n' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Bytes of the UTF-8 character that starts with `lead`, so that a character
// outside the grammar is dropped whole.
std::size_t characterLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    if ((lead >> 3) == 0x1E)
        return 4;
    return 1;
}

// The number lexeme at `i`: a sign, then digits, at most one ".", and "e" or
// "E" with one sign right after it.
std::size_t lexemeLength(std::string_view s, std::size_t i) {
    std::size_t j = i;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
        ++j;
    }
    bool sawDot = false;
    while (j < s.size()) {
        const char c = s[j];
        if (isDigit(c)) {
            ++j;
        } else if (c == '.' && !sawDot) {
            sawDot = true;
            ++j;
        } else if (c == 'e' || c == 'E') {
            ++j;
            if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
                ++j;
            }
        } else {
            break;
        }
    }
    return j - i;
}

// The lexeme's value when the whole of it is a decimal number.
std::optional<double> parseWhole(std::string_view lexeme) {
    if (!lexeme.empty() && lexeme.front() == '+') {
        lexeme.remove_prefix(1);
        if (!lexeme.empty() && (lexeme.front() == '+' || lexeme.front() == '-')) {
            return std::nullopt;
        }
    }
    if (lexeme.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(lexeme.data(), lexeme.data() + lexeme.size(), value);
    if (error != std::errc() || end != lexeme.data() + lexeme.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::vector<Token> tokenize(std::string_view data) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < data.size()) {
        const char c = data[i];
        if (isSeparator(c)) {
            ++i;
            continue;
        }
        if (commandLetters.find(c) != std::string_view::npos) {
            tokens.push_back(Command{c});
            ++i;
            continue;
        }
        const std::size_t length = lexemeLength(data, i);
        if (length == 0) {
            i += characterLength(static_cast<unsigned char>(c));
            continue;
        }
        if (auto value = parseWhole(data.substr(i, length))) {
            tokens.push_back(Number{*value});
            i += length;
        } else {
            ++i;  // drop the lexeme's first character only, and scan again
        }
    }
    return tokens;
}

namespace {

class Builder {
  public:
    explicit Builder(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::vector<PathElement> build() {
        while (i_ < tokens_.size()) {
            const std::size_t before = i_;
            if (const auto* command = std::get_if<Command>(&tokens_[i_])) {
                current_ = command->letter;
                ++i_;
            } else if (current_ == 'Z' || current_ == 'z') {
                // A number right after a close belongs to no command: skip it
                // rather than closing again without reading anything.
                ++i_;
                continue;
            }
            step();
            if (i_ == before) {
                ++i_;  // every step consumes input, whatever the data
            }
        }
        return std::move(elements_);
    }

  private:
    double number() {
        if (i_ < tokens_.size()) {
            if (const auto* n = std::get_if<Number>(&tokens_[i_])) {
                ++i_;
                return n->value;
            }
        }
        return 0;
    }

    Point pointFrom(bool relative) {
        const double x = number();
        const double y = number();
        return relative ? Point{current_point_.x + x, current_point_.y + y} : Point{x, y};
    }

    // A segment needs a subpath: after a close (or before any move) it starts
    // one at the current point.
    void ensureSubpath() {
        if (!subpathOpen_) {
            elements_.push_back({PathElement::Kind::move, {}, {}, current_point_});
            subpathStart_ = current_point_;
            subpathOpen_ = true;
        }
    }

    void lineTo(Point p) {
        ensureSubpath();
        elements_.push_back({PathElement::Kind::line, {}, {}, p});
        current_point_ = p;
    }

    void curveTo(Point c1, Point c2, Point p) {
        ensureSubpath();
        elements_.push_back({PathElement::Kind::cubic, c1, c2, p});
        lastControl_ = c2;
        current_point_ = p;
    }

    void step() {
        const bool relative = current_ >= 'a' && current_ <= 'z';
        switch (current_) {
            case 'M':
            case 'm': {
                const Point p = pointFrom(relative);
                elements_.push_back({PathElement::Kind::move, {}, {}, p});
                current_point_ = p;
                subpathStart_ = p;
                subpathOpen_ = true;
                current_ = relative ? 'l' : 'L';
                previousWasCubic_ = false;
                return;
            }
            case 'L':
            case 'l':
                lineTo(pointFrom(relative));
                previousWasCubic_ = false;
                return;
            case 'H':
            case 'h': {
                const double x = number();
                lineTo({relative ? current_point_.x + x : x, current_point_.y});
                previousWasCubic_ = false;
                return;
            }
            case 'V':
            case 'v': {
                const double y = number();
                lineTo({current_point_.x, relative ? current_point_.y + y : y});
                previousWasCubic_ = false;
                return;
            }
            case 'C':
            case 'c': {
                const Point c1 = pointFrom(relative);
                const Point c2 = pointFrom(relative);
                const Point p = pointFrom(relative);
                curveTo(c1, c2, p);
                previousWasCubic_ = true;
                return;
            }
            case 'S':
            case 's': {
                const Point c1 = previousWasCubic_ ? Point{2 * current_point_.x - lastControl_.x,
                                                           2 * current_point_.y - lastControl_.y}
                                                   : current_point_;
                const Point c2 = pointFrom(relative);
                const Point p = pointFrom(relative);
                curveTo(c1, c2, p);
                previousWasCubic_ = true;
                return;
            }
            case 'Z':
            case 'z':
                if (subpathOpen_) {
                    elements_.push_back({PathElement::Kind::close, {}, {}, subpathStart_});
                    subpathOpen_ = false;
                }
                current_point_ = subpathStart_;
                previousWasCubic_ = false;
                return;
            default:
                // Quadratic curves, arcs, or numbers before any command: skip
                // one more token and draw nothing.
                ++i_;
                return;
        }
    }

    std::vector<Token> tokens_;
    std::size_t i_ = 0;
    char current_ = 0;
    Point current_point_;
    Point subpathStart_;
    Point lastControl_;
    bool previousWasCubic_ = false;
    bool subpathOpen_ = false;
    std::vector<PathElement> elements_;
};

}  // namespace

std::vector<PathElement> path(std::string_view data) {
    return Builder(tokenize(data)).build();
}

}  // namespace mivo::SVGPathParser
