#pragma once

// Descriptions of the IPA dictionary. The application uses SealedIPADic: the
// folder "ipadic dictionary" of the bundle MecabTokenizer_IPADic.bundle,
// found like every other resource bundle, with IPADic's own lookup behind it.

#include "morphology/dictionary.hpp"
#include "morphology/tokenizer_error.hpp"
#include "shared/resource_bundle.hpp"

#include <expected>
#include <functional>

namespace mivo {

inline constexpr std::string_view kIpadicBundleName = "MecabTokenizer_IPADic";
inline constexpr std::string_view kIpadicFolderName = "ipadic dictionary";

// The IPA dictionary's part-of-speech ids folded into coarse classes.
// Auxiliary verbs, conjunctions, interjections and adnominals have no class
// of their own and come out as unknown.
Dictionary::PartOfSpeech ipaPartOfSpeech(uint16_t posID);

// IPA feature columns: 6 dictionary form, 7 reading.
class IpaColumns : public DictionaryProviding {
  public:
    Dictionary::PartOfSpeech partOfSpeech(uint16_t posID) const override {
        return ipaPartOfSpeech(posID);
    }
    int readingIndex() const override { return 7; }
    int dictionaryFormIndex() const override { return 6; }
};

class IPADic final : public IpaColumns {
  public:
    explicit IPADic(std::filesystem::path url) : url_(std::move(url)) {}

    // The dictionary module's own bundle: beside the executable, else the
    // build's products folder; the bundle is looked up once per process.
    static std::expected<IPADic, TokenizerError> locate();
    // The same over two given bundle locations, without remembering.
    static std::expected<IPADic, TokenizerError> locate(const std::filesystem::path& first,
                                                        const std::filesystem::path& second);

    std::filesystem::path url() const override { return url_; }
    std::string rendering() const override;
    // "Dictionary: <file URL>, Type: IPADic"
    std::string description() const;

  private:
    std::filesystem::path url_;
};

class SealedIPADic final : public IpaColumns {
  public:
    explicit SealedIPADic(std::filesystem::path url) : url_(std::move(url)) {}

    // The sealed bundle (installed resources, then beside the executable,
    // else the main resource folder), then IPADic::locate(). Looked up anew
    // on every call.
    static std::expected<SealedIPADic, TokenizerError> locate();
    // The folder of `sealed` when it has one; `moduleDictionary` runs only
    // when it does not.
    static std::expected<SealedIPADic, TokenizerError> locate(
        const ResourceBundle& sealed,
        const std::function<std::expected<IPADic, TokenizerError>()>& moduleDictionary);

    std::filesystem::path url() const override { return url_; }
    std::string rendering() const override;

  private:
    std::filesystem::path url_;
};

}  // namespace mivo
