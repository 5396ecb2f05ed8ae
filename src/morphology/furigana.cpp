#include "morphology/furigana.hpp"

#include "morphology/kana.hpp"
#include "shared/text.hpp"

#include <vector>

namespace mivo {
namespace {

std::string joined(const std::vector<std::string>& characters) {
    std::string out;
    for (const auto& c : characters)
        out += c;
    return out;
}

}  // namespace

std::string FuriganaAnnotation::description() const {
    return reading + ", " + std::to_string(range.start) + "..<" + std::to_string(range.end);
}

RubyAnnotation FuriganaAnnotation::rubyAnnotation(RubyAlignment alignment, RubyOverhang overhang,
                                                  double sizeFactor, RubyPosition position,
                                                  const RubyAttributes& attributes) const {
    return RubyAnnotation{reading, alignment, overhang, position,
                          mergedRubyAttributes(sizeFactor, attributes)};
}

std::optional<FuriganaAnnotation> furiganaAnnotation(std::string_view base,
                                                     std::string_view reading, ByteRange range,
                                                     std::string_view text, bool kanjiOnly) {
    if (!kanjiOnly)
        return FuriganaAnnotation{std::string(reading), range};
    if (range.start > range.end || range.end > text.size())
        return std::nullopt;

    // The word as it stands in the text, where the range's ends move by
    // Characters.
    const text::CharacterText word{std::string(text.substr(range.start, range.length()))};
    int64_t lo = 0;
    int64_t hi = word.count();
    std::vector<std::string> r = text::characters(reading);
    const int64_t baseCount = text::characterCount(base);

    for (const TextRange& run : hiraganaRanges(base)) {
        const auto n = static_cast<std::size_t>(run.length());
        if (run.end == baseCount) {
            // Okurigana (also a base that is all hiragana): 読む / よむ → よ.
            if (n > r.size() || hi - run.length() < lo)
                return std::nullopt;
            hi -= run.length();
            r.resize(r.size() - n);
        } else if (run.start == 0) {
            // A leading run: お茶 / おちゃ → ちゃ.
            if (n > r.size() || lo + run.length() > hi)
                return std::nullopt;
            lo += run.length();
            r.erase(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n));
        } else {
            // A run between kanji keeps its place in the range and becomes
            // a gap in the reading: 取り消し / とりけし → と　け over 取り消.
            const std::string runText = text::characterSlice(base, run.start, run.end);
            std::string s = joined(r);
            for (std::size_t at = 0; (at = s.find(runText, at)) != std::string::npos;) {
                s.replace(at, runText.size(), "\u3000");
                at += 3;
            }
            r = text::characters(s);
        }
    }
    // A reading over nothing is no furigana.
    if (r.empty() || lo >= hi)
        return std::nullopt;
    return FuriganaAnnotation{
        joined(r),
        ByteRange{range.start + word.byteOffset(lo), range.start + word.byteOffset(hi)},
    };
}

}  // namespace mivo
