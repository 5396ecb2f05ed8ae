// The furigana and ruby operations of the tokenizer and its annotations.

#include "morphology/kana.hpp"
#include "morphology/mecab_tokenizer.hpp"

#include <algorithm>

namespace mivo {

FuriganaAnnotation Annotation::furiganaAnnotation(std::string_view) const {
    return FuriganaAnnotation{reading, range};
}

std::optional<FuriganaAnnotation> Annotation::furiganaAnnotation(
    const std::vector<AnnotationOption>& options, std::string_view text) const {
    if (options.empty())
        return FuriganaAnnotation{reading, range};
    bool kanjiOnly = false;
    std::vector<std::string> kanji;
    bool kanjiKnown = false;
    for (const auto& option : options) {
        if (std::holds_alternative<AnnotationOption::KanjiOnly>(option.value)) {
            kanjiOnly = true;
            continue;
        }
        const auto& filter = std::get<AnnotationOption::Filter>(option.value);
        if (!kanjiKnown) {
            kanji = kanjiCharacters(base);
            kanjiKnown = true;
        }
        const auto disallowed = [&](const std::string& k) {
            return filter.disallowedCharacters.contains(k);
        };
        if (filter.strict ? std::any_of(kanji.begin(), kanji.end(), disallowed)
                          : std::all_of(kanji.begin(), kanji.end(), disallowed))
            return std::nullopt;
    }
    if (kanjiOnly) {
        if (!containsKanji())
            return std::nullopt;
        return mivo::furiganaAnnotation(*this, text, true);
    }
    return FuriganaAnnotation{reading, range};
}

std::vector<FuriganaAnnotation> Tokenizer::furiganaAnnotations(
    std::string_view text, Transliteration transliteration,
    const std::vector<AnnotationOption>& options) const {
    std::vector<FuriganaAnnotation> out;
    for (const auto& a : tokenize(text, transliteration)) {
        if (a.base.empty())
            continue;
        if (auto f = a.furiganaAnnotation(options, text))
            out.push_back(std::move(*f));
    }
    return out;
}

std::string Tokenizer::addRubyTags(std::string_view text, Transliteration transliteration,
                                   const std::vector<AnnotationOption>& options) const {
    std::string out;
    std::size_t cursor = 0;
    for (const auto& f : furiganaAnnotations(text, transliteration, options)) {
        // Annotations come in text order without overlaps; one that does
        // not is left out rather than repeating or dropping text.
        if (f.range.start < cursor || f.range.end > text.size())
            continue;
        out.append(text.substr(cursor, f.range.start - cursor));
        out += "<ruby>";
        out.append(text.substr(f.range.start, f.range.length()));
        out += "<rt>" + f.reading + "</rt></ruby>";
        cursor = f.range.end;
    }
    out.append(text.substr(cursor));
    return out;
}

}  // namespace mivo
