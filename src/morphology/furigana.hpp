#pragma once

// Furigana: a reading placed over a range of a text, and the cutting of a
// word's reading down to the part that belongs to its kanji.

#include "morphology/byte_range.hpp"
#include "morphology/ruby_annotation.hpp"

#include <concepts>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

namespace mivo {

struct FuriganaAnnotation {
    std::string reading;
    ByteRange range;  // bytes of the annotated text

    bool operator==(const FuriganaAnnotation&) const = default;
    // Text order: by where the range starts, nothing else.
    bool operator<(const FuriganaAnnotation& other) const {
        return range.start < other.range.start;
    }
    // "<reading>, <start>..<<end>"
    std::string description() const;

    // This reading as ruby for a text layout, with the attributes of
    // `mergedRubyAttributes`.
    RubyAnnotation rubyAnnotation(RubyAlignment alignment, RubyOverhang overhang, double sizeFactor,
                                  RubyPosition position,
                                  const RubyAttributes& attributes = {}) const;
};

// Anything with a base word, its reading and where it stands in a text.
template <typename T>
concept FuriganaAnnotating = requires(const T& a) {
    { a.base } -> std::convertible_to<std::string_view>;
    { a.reading } -> std::convertible_to<std::string_view>;
    { a.range } -> std::convertible_to<ByteRange>;
};

// The whole reading over the whole range, or with `kanjiOnly` the reading
// without the kana that the word itself spells out: leading and trailing
// hiragana runs are cut from both ends, inner runs become ideographic spaces
// in the reading. Cutting counts Characters, so it fits readings in
// hiragana. Nothing when the cut leaves no reading or no range.
std::optional<FuriganaAnnotation> furiganaAnnotation(std::string_view base,
                                                     std::string_view reading, ByteRange range,
                                                     std::string_view text, bool kanjiOnly);

template <FuriganaAnnotating A>
std::optional<FuriganaAnnotation> furiganaAnnotation(const A& annotated, std::string_view text,
                                                     bool kanjiOnly) {
    return furiganaAnnotation(annotated.base, annotated.reading, annotated.range, text, kanjiOnly);
}

// Options of the furigana operations of the tokenizer.
struct AnnotationOption {
    // Suppresses words by their kanji: strict, as soon as one of them is
    // disallowed; otherwise when all of them are (so also words without any).
    struct Filter {
        std::set<std::string> disallowedCharacters;
        bool strict = false;
        bool operator==(const Filter&) const = default;
    };
    struct KanjiOnly {
        bool operator==(const KanjiOnly&) const = default;
    };

    static AnnotationOption filter(std::set<std::string> disallowedCharacters, bool strict) {
        return {Filter{std::move(disallowedCharacters), strict}};
    }
    static AnnotationOption kanjiOnly() { return {KanjiOnly{}}; }

    std::variant<Filter, KanjiOnly> value;
    bool operator==(const AnnotationOption&) const = default;
};

}  // namespace mivo
