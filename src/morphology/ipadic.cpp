#include "morphology/ipadic.hpp"

#include <optional>
#include <system_error>

#ifndef MIVO_IPADIC_BUILD_BUNDLE_DIR
#error "MIVO_IPADIC_BUILD_BUNDLE_DIR must name the build's dictionary bundle"
#endif

namespace mivo {
namespace fs = std::filesystem;

Dictionary::PartOfSpeech ipaPartOfSpeech(uint16_t posID) {
    using P = Dictionary::PartOfSpeech;
    // Ranges of the IPA pos-id file; 0-2 other/filler/interjection, 25
    // auxiliary verbs, 26 conjunctions, 68 adnominals and above fall out.
    if (posID >= 3 && posID <= 9)
        return P::symbol;
    if (posID >= 10 && posID <= 12)
        return P::adjective;
    if (posID >= 13 && posID <= 24)
        return P::particle;
    if (posID >= 27 && posID <= 30)
        return P::prefix;
    if (posID >= 31 && posID <= 33)
        return P::verb;
    if (posID >= 34 && posID <= 35)
        return P::adverb;
    if (posID >= 36 && posID <= 67)
        return P::noun;
    return P::unknown;
}

namespace {

std::optional<fs::path> dictionaryFolder(const ResourceBundle& bundle) {
    return bundle.urlForFolder(kIpadicFolderName);
}

std::string bundleFileName() {
    return std::string(kIpadicBundleName) + ".bundle";
}

// Stands in for the application's main bundle: the first resource folder
// that exists.
ResourceBundle mainBundle() {
    for (const auto& folder : defaultResourceFolders()) {
        ResourceBundle b(folder.value_or(fs::path{}));
        if (b.exists())
            return b;
    }
    return {};
}

std::optional<ResourceBundle> openBundle(const fs::path& first, const fs::path& second) {
    for (const auto& p : {first, second}) {
        ResourceBundle b(p);
        if (b.exists())
            return b;
    }
    return std::nullopt;
}

std::expected<IPADic, TokenizerError> dictionaryIn(const std::optional<ResourceBundle>& bundle,
                                                   const fs::path& first, const fs::path& second) {
    if (!bundle) {
        return std::unexpected(TokenizerError::initializationFailure(
            "could not load resource bundle: from " + first.string() + " or " + second.string()));
    }
    auto folder = dictionaryFolder(*bundle);
    if (!folder) {
        return std::unexpected(TokenizerError::initializationFailure(
            "could not find resource \"" + std::string(kIpadicFolderName) + "\" in " +
            bundle->folder().string()));
    }
    return IPADic(std::move(*folder));
}

}  // namespace

std::expected<IPADic, TokenizerError> IPADic::locate(const fs::path& first,
                                                     const fs::path& second) {
    return dictionaryIn(openBundle(first, second), first, second);
}

std::expected<IPADic, TokenizerError> IPADic::locate() {
    static const fs::path first = [] {
        const auto exe = executableFolder();
        return exe ? *exe / bundleFileName() : fs::path{};
    }();
    static const fs::path second = MIVO_IPADIC_BUILD_BUNDLE_DIR;
    static const std::optional<ResourceBundle> bundle = openBundle(first, second);
    return dictionaryIn(bundle, first, second);
}

std::string IPADic::rendering() const {
    return "IPADic(url: " + fileUrlString(url_) + ")";
}

std::string IPADic::description() const {
    return "Dictionary: " + fileUrlString(url_) + ", Type: IPADic";
}

std::expected<SealedIPADic, TokenizerError> SealedIPADic::locate(
    const ResourceBundle& sealed,
    const std::function<std::expected<IPADic, TokenizerError>()>& moduleDictionary) {
    if (auto folder = dictionaryFolder(sealed))
        return SealedIPADic(std::move(*folder));
    auto fallback = moduleDictionary();
    if (!fallback)
        return std::unexpected(fallback.error());
    return SealedIPADic(fallback->url());
}

std::expected<SealedIPADic, TokenizerError> SealedIPADic::locate() {
    const ResourceBundle sealed = mivoSealedResourceBundle(kIpadicBundleName, mainBundle);
    return locate(sealed, [] { return IPADic::locate(); });
}

std::string SealedIPADic::rendering() const {
    return "SealedIPADic(url: " + fileUrlString(url_) + ")";
}

}  // namespace mivo
