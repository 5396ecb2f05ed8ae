#include "morphology/system_tokenizer.hpp"

#include "morphology/kana.hpp"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <memory>

namespace mivo {
namespace {

// Loading the rules and the Japanese dictionary is costly: one per thread.
icu::BreakIterator* wordIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> it = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> bi(
            icu::BreakIterator::createWordInstance(icu::Locale("ja", "JP"), status));
        return U_SUCCESS(status) ? std::move(bi) : nullptr;
    }();
    return it.get();
}

std::vector<ByteRange> wordSegments(std::string_view s) {
    std::vector<ByteRange> out;
    icu::BreakIterator* bi = wordIterator();
    if (bi == nullptr || s.empty())
        return out;
    UErrorCode status = U_ZERO_ERROR;
    UText* ut = utext_openUTF8(nullptr, s.data(), static_cast<int64_t>(s.size()), &status);
    if (U_FAILURE(status)) {
        utext_close(ut);
        return out;
    }
    bi->setText(ut, status);
    if (U_SUCCESS(status)) {
        // Over UTF-8 text ICU reports byte offsets.
        int32_t start = bi->first();
        for (int32_t end = bi->next(); end != icu::BreakIterator::DONE; end = bi->next()) {
            out.push_back(
                ByteRange{static_cast<std::size_t>(start), static_cast<std::size_t>(end)});
            start = end;
        }
    }
    bi->setText(icu::UnicodeString());
    utext_close(ut);
    return out;
}

}  // namespace

std::vector<SystemTokenizerAnnotation> systemTokenizerFuriganaAnnotations(std::string_view s) {
    std::vector<SystemTokenizerAnnotation> out;
    for (const ByteRange& r : wordSegments(s)) {
        if (r.end > s.size() || r.start >= r.end)
            continue;
        std::string base(s.substr(r.start, r.length()));
        // A word with kanji would need its Latin transcription, which ICU
        // does not have for Japanese; it gives nothing.
        if (containsKanjiCharacters(base))
            continue;
        std::string reading = base;
        out.push_back(SystemTokenizerAnnotation{std::move(base), std::move(reading), r});
    }
    return out;
}

std::vector<FuriganaAnnotation> furiganaReplacements(std::string_view s) {
    std::vector<FuriganaAnnotation> out;
    for (auto& a : systemTokenizerFuriganaAnnotations(s)) {
        a.reading = hiraganaString(a.reading);
        if (auto f = furiganaAnnotation(a, s, true))
            out.push_back(std::move(*f));
    }
    return out;
}

}  // namespace mivo
