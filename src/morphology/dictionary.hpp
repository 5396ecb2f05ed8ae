#pragma once

// What the tokenizer needs to know about a MeCab system dictionary: where
// its folder is, which feature columns hold what, and how its numeric
// part-of-speech ids fold into a few coarse classes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace mivo {

namespace Dictionary {

enum class PartOfSpeech { verb, particle, noun, adjective, adverb, prefix, symbol, unknown };

// The case name; the morpheme adapter maps by this text.
std::string_view description(PartOfSpeech v);

}  // namespace Dictionary

class PartOfSpeechProviding {
  public:
    virtual ~PartOfSpeechProviding() = default;
    virtual Dictionary::PartOfSpeech partOfSpeech(uint16_t posID) const = 0;
};

// 0-based columns of a node's comma-separated feature text.
class TokenIndexProviding {
  public:
    virtual ~TokenIndexProviding() = default;
    virtual int readingIndex() const = 0;
    virtual int dictionaryFormIndex() const = 0;
};

class DictionaryProviding : public PartOfSpeechProviding, public TokenIndexProviding {
  public:
    // The folder MeCab opens as its system dictionary.
    virtual std::filesystem::path url() const = 0;
    // Type name and fields, for error texts: "IPADic(url: file:///…)".
    virtual std::string rendering() const = 0;
};

// The description that goes with the word-boundary tokenizer: no folder, no
// columns, no classes.
struct SystemDictionary final : DictionaryProviding {
    Dictionary::PartOfSpeech partOfSpeech(uint16_t) const override {
        return Dictionary::PartOfSpeech::unknown;
    }
    int readingIndex() const override { return 0; }
    int dictionaryFormIndex() const override { return 0; }
    std::filesystem::path url() const override { return {}; }
    std::string rendering() const override { return "SystemDictionary()"; }
};

// "file://" and the path percent-encoded as a URL path ("%20" for a blank),
// with a trailing "/" when it names a folder.
std::string fileUrlString(const std::filesystem::path& path);

}  // namespace mivo
