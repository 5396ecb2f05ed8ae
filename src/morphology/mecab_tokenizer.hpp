#pragma once

// The wrapper around one MeCab tagger: opens it on a dictionary description
// and turns a text into annotated words whose ranges lie in the caller's
// own text, whatever normalisation MeCab needed.

#include "morphology/byte_range.hpp"
#include "morphology/dictionary.hpp"
#include "morphology/furigana.hpp"
#include "morphology/mecab_token.hpp"
#include "morphology/tokenizer_error.hpp"
#include "shared/text.hpp"

#include <expected>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct mecab_t;
struct mecab_model_t;

namespace mivo {

struct Annotation;

class Tokenizer {
  public:
    // The script of readings and dictionary forms.
    enum class Transliteration { hiragana, katakana, romaji };
    using TokenizerError = mivo::TokenizerError;

    // Opens a tagger on the dictionary's folder. Only that folder is read:
    // no rc file of the system or the user changes the dictionary.
    static std::expected<std::unique_ptr<Tokenizer>, TokenizerError> create(
        std::unique_ptr<DictionaryProviding> dictionary);

    // The process-wide tokenizer without MeCab: ICU word segments, no
    // parts of speech, readings only for words without kanji.
    static const Tokenizer& systemTokenizer();

    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;
    ~Tokenizer();

    // At most this many dictionary entries are kept split between calls
    // (under a tenth of a kilobyte each, with the table's share).
    static constexpr std::size_t kFeatureColumnsKept = 4096;
    std::size_t featureColumnsKept() const;

    const DictionaryProviding& dictionary() const { return *dictionary_; }
    bool isSystemTokenizer() const { return isSystemTokenizer_; }

    // Words in text order. Ranges are bytes of `text`, each covering whole
    // Characters; words MeCab split inside one Character come back joined.
    // Calls are serialised: the tagger keeps its node list between them.
    std::vector<Annotation> tokenize(std::string_view text, Transliteration transliteration) const;
    // The same over a text already cut into Characters.
    std::vector<Annotation> tokenize(const text::CharacterText& text,
                                     Transliteration transliteration) const;

    // Furigana of every word that the options let through, in text order.
    std::vector<FuriganaAnnotation> furiganaAnnotations(
        std::string_view text, Transliteration transliteration,
        const std::vector<AnnotationOption>& options) const;
    // The text with "<ruby>word<rt>reading</rt></ruby>" around each word
    // that has furigana.
    std::string addRubyTags(std::string_view text, Transliteration transliteration,
                            const std::vector<AnnotationOption>& options) const;

  private:
    struct ModelDeleter {
        void operator()(mecab_model_t* model) const;
    };
    struct TaggerDeleter {
        void operator()(mecab_t* tagger) const;
    };

    Tokenizer(std::unique_ptr<DictionaryProviding> dictionary,
              std::unique_ptr<mecab_model_t, ModelDeleter> model,
              std::unique_ptr<mecab_t, TaggerDeleter> tagger, bool isSystemTokenizer);

    std::vector<Annotation> mecabTokenize(const text::CharacterText& text,
                                          Transliteration transliteration) const;
    std::vector<Annotation> systemTokenize(std::string_view text,
                                           Transliteration transliteration) const;
    // The word's columns of a node's feature text, taken once while kept.
    const std::optional<WordColumns>& wordColumnsOf(const char* feature) const;

    std::unique_ptr<DictionaryProviding> dictionary_;
    // The tagger refers to the model: declared after it, destroyed before.
    std::unique_ptr<mecab_model_t, ModelDeleter> model_;
    std::unique_ptr<mecab_t, TaggerDeleter> mecab_;
    bool isSystemTokenizer_ = false;
    mutable std::mutex mutex_;
    // A node's feature text lies in the dictionary MeCab keeps open, at the
    // same address for the same entry as long as the tagger lives: it is
    // checked and split once per entry, not once per occurrence (nothing:
    // not usable). Guarded by mutex_. Every new word of a writing session
    // would add an entry up to the dictionary's size, hundreds of
    // thousands, so the entries are kept in two generations of half the
    // bound each: an entry of the older one that is used again moves to
    // the newer, and when the newer is full the older is dropped. The
    // particles and endings of every sentence stay; a word not met since
    // the older generation began is split again when it comes back.
    using WordColumnsByFeature = std::unordered_map<const char*, std::optional<WordColumns>>;
    mutable WordColumnsByFeature wordColumns_;
    mutable WordColumnsByFeature olderWordColumns_;
};

// One analysed word.
struct Annotation {
    std::string base;  // the surface as MeCab saw it (NFC)
    std::string reading;
    Dictionary::PartOfSpeech partOfSpeech = Dictionary::PartOfSpeech::unknown;
    ByteRange range;  // in the text passed to tokenize, not its NFC form
    std::string dictionaryForm;
    Tokenizer::Transliteration transliteration = Tokenizer::Transliteration::katakana;

    bool operator==(const Annotation&) const = default;
    // "Base: <base>, reading: <reading>, POS: <part of speech>"
    std::string description() const;
    bool containsKanji() const;

    // The whole reading over the whole range.
    FuriganaAnnotation furiganaAnnotation(std::string_view text) const;
    // Through the options: filters first, then kanji-only cutting.
    std::optional<FuriganaAnnotation> furiganaAnnotation(
        const std::vector<AnnotationOption>& options, std::string_view text) const;
};

// A reading or dictionary form, given in katakana, in the requested script.
std::string transliterated(std::string_view katakana, Tokenizer::Transliteration transliteration);

}  // namespace mivo
