#include "morphology/mecab_tokenizer.hpp"

#include "morphology/kana.hpp"
#include "morphology/mecab_token.hpp"
#include "morphology/normalized_text.hpp"
#include "morphology/system_tokenizer.hpp"

#include <mecab.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace mivo {
namespace {

std::string utf8OrEmpty(const char* s) {
    if (s == nullptr)
        return {};
    std::string out(s);
    return text::isValidUtf8(out) ? out : std::string{};
}

}  // namespace

std::string transliterated(std::string_view katakana, Tokenizer::Transliteration transliteration) {
    switch (transliteration) {
        case Tokenizer::Transliteration::hiragana:
            return hiraganaString(katakana);
        case Tokenizer::Transliteration::romaji:
            return romanizedString(katakana, RomanizationMethod::hepburn);
        case Tokenizer::Transliteration::katakana:
            break;
    }
    return std::string(katakana);
}

void Tokenizer::ModelDeleter::operator()(mecab_model_t* model) const {
    mecab_model_destroy(model);
}

void Tokenizer::TaggerDeleter::operator()(mecab_t* tagger) const {
    mecab_destroy(tagger);
}

Tokenizer::Tokenizer(std::unique_ptr<DictionaryProviding> dictionary,
                     std::unique_ptr<mecab_model_t, ModelDeleter> model,
                     std::unique_ptr<mecab_t, TaggerDeleter> tagger, bool isSystemTokenizer)
    : dictionary_(std::move(dictionary)),
      model_(std::move(model)),
      mecab_(std::move(tagger)),
      isSystemTokenizer_(isSystemTokenizer) {}

Tokenizer::~Tokenizer() = default;

std::expected<std::unique_ptr<Tokenizer>, TokenizerError> Tokenizer::create(
    std::unique_ptr<DictionaryProviding> dictionary) {
    const std::filesystem::path folder = dictionary->url();
    if (folder.empty()) {
        return std::unexpected(TokenizerError::initializationFailure("URL Conversion Failed " +
                                                                     dictionary->rendering()));
    }
    // MeCab's one-string constructor splits at blanks and would cut the
    // folder "ipadic dictionary" in two; separate arguments keep it whole.
    // "-r /dev/null" stands in for the rc file, so neither /etc/mecabrc nor
    // ~/.mecabrc nor $MECABRC can change the dictionary or add a user one.
    std::vector<std::string> args{"mivo", "-d", folder.native(), "-r", "/dev/null"};
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (auto& a : args)
        argv.push_back(a.data());
    // The model is opened first because only its failure leaves MeCab's
    // reason behind: mecab_new() of 0.996 drops it, and mecab_strerror()
    // would then say nothing.
    std::unique_ptr<mecab_model_t, ModelDeleter> model(
        mecab_model_new(static_cast<int>(argv.size()), argv.data()));
    std::unique_ptr<mecab_t, TaggerDeleter> tagger(model ? mecab_model_new_tagger(model.get())
                                                         : nullptr);
    if (!tagger) {
        return std::unexpected(TokenizerError::initializationFailure(
            "Opening Dictionary Failed " + dictionary->rendering() + " " +
            utf8OrEmpty(mecab_strerror(nullptr))));
    }
    return std::unique_ptr<Tokenizer>(
        new Tokenizer(std::move(dictionary), std::move(model), std::move(tagger), false));
}

std::size_t Tokenizer::featureColumnsKept() const {
    std::lock_guard lock(mutex_);
    return wordColumns_.size() + olderWordColumns_.size();
}

const std::optional<WordColumns>& Tokenizer::wordColumnsOf(const char* feature) const {
    if (const auto it = wordColumns_.find(feature); it != wordColumns_.end())
        return it->second;
    auto kept = olderWordColumns_.extract(feature);
    if (wordColumns_.size() >= kFeatureColumnsKept / 2) {
        // The older generation goes: what was used since the newer one
        // began has moved into it.
        std::swap(wordColumns_, olderWordColumns_);
        wordColumns_.clear();
    }
    if (kept)
        return wordColumns_.insert(std::move(kept)).position->second;
    return wordColumns_.try_emplace(feature, Token::wordColumns(feature, *dictionary_))
        .first->second;
}

std::vector<Annotation> Tokenizer::tokenize(std::string_view text,
                                            Transliteration transliteration) const {
    return tokenize(text::CharacterText(std::string(text)), transliteration);
}

std::vector<Annotation> Tokenizer::tokenize(const text::CharacterText& text,
                                            Transliteration transliteration) const {
    if (isSystemTokenizer_)
        return systemTokenize(text.str(), transliteration);
    return mecabTokenize(text, transliteration);
}

std::vector<Annotation> Tokenizer::mecabTokenize(const text::CharacterText& text,
                                                 Transliteration transliteration) const {
    std::vector<Annotation> out;
    if (text.empty() || !mecab_)
        return out;
    const NormalizedText normalized(text);
    const std::string_view input = normalized.str();

    std::lock_guard lock(mutex_);
    const mecab_node_t* node = mecab_sparse_tonode2(mecab_.get(), input.data(), input.size());
    int64_t lastEnd = 0;  // Character end of out.back()
    bool readingIsSurface = false;
    bool formIsSurface = false;
    Token scratch;
    for (; node != nullptr; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE)
            continue;
        if (node->feature == nullptr)
            continue;
        const auto& word = wordColumnsOf(node->feature);
        if (!word ||
            !scratch.assignWord(node->surface, node->length, *word, node->posid, *dictionary_) ||
            scratch.surface.empty())
            continue;
        // Surfaces point into `input`; where they stand there is where the
        // word stands, so nothing is searched for.
        const auto at = reinterpret_cast<std::uintptr_t>(scratch.surface.data());
        const auto inputAt = reinterpret_cast<std::uintptr_t>(input.data());
        if (at < inputAt || at - inputAt + scratch.surface.size() > input.size())
            continue;
        const std::size_t begin = at - inputAt;
        const TextRange chars = normalized.characterRange(begin, begin + scratch.surface.size());

        if (!out.empty() && chars.start < lastEnd) {
            // MeCab cut inside one Character (an emoji sequence joined by
            // ZWJ, a letter with a combining mark that has no precomposed
            // form): a morpheme never covers part of a Character, so the
            // piece joins the word before it.
            Annotation& previous = out.back();
            previous.base += scratch.surface;
            if (readingIsSurface)
                previous.reading = transliterated(previous.base, transliteration);
            if (formIsSurface)
                previous.dictionaryForm = transliterated(previous.base, transliteration);
            lastEnd = std::max(lastEnd, chars.end);
            previous.range.end = text.byteOffset(lastEnd);
            continue;
        }

        const std::string_view reading = scratch.reading();
        const std::string_view form = scratch.dictionaryForm();
        // A missing column comes back as the surface view itself.
        readingIsSurface = reading.data() == scratch.surface.data();
        formIsSurface = form.data() == scratch.surface.data();
        out.push_back(Annotation{
            std::string(scratch.surface),
            transliterated(reading, transliteration),
            scratch.partOfSpeech,
            ByteRange{text.byteOffset(chars.start), text.byteOffset(chars.end)},
            transliterated(form, transliteration),
            transliteration,
        });
        lastEnd = chars.end;
    }
    return out;
}

const Tokenizer& Tokenizer::systemTokenizer() {
    static const Tokenizer tokenizer(std::make_unique<SystemDictionary>(), nullptr, nullptr, true);
    return tokenizer;
}

std::vector<Annotation> Tokenizer::systemTokenize(std::string_view text,
                                                  Transliteration transliteration) const {
    std::vector<Annotation> out;
    for (auto& a : systemTokenizerFuriganaAnnotations(text)) {
        out.push_back(Annotation{
            a.base,
            transliterated(a.reading, transliteration),
            Dictionary::PartOfSpeech::unknown,
            a.range,
            // The word itself stands for its dictionary form.
            transliterated(a.base, transliteration),
            transliteration,
        });
    }
    return out;
}

std::string Annotation::description() const {
    return "Base: " + base + ", reading: " + reading +
           ", POS: " + std::string(Dictionary::description(partOfSpeech));
}

bool Annotation::containsKanji() const {
    return containsKanjiCharacters(base);
}

}  // namespace mivo
