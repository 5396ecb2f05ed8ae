#include "correction/rule_pack.hpp"

#include "shared/json.hpp"

#include <fstream>
#include <sstream>

namespace mivo {
namespace fs = std::filesystem;

const ResourceBundle& localCorrectionResources() {
    static const ResourceBundle bundle = mivoSealedResourceBundle("Mivo_LocalCorrection", [] {
        return ResourceBundle(sourceResourcesFolder() / "Mivo_LocalCorrection.bundle");
    });
    return bundle;
}

namespace RulePackResource {
namespace {

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(ss).str();
}

bool decodeFile(const std::optional<fs::path>& path,
                const std::function<void(const json::Json&)>& decode) {
    if (!path)
        return false;
    const auto bytes = readFile(*path);
    if (!bytes)
        return false;
    try {
        decode(json::parse(*bytes));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

std::optional<fs::path> url(const ResourceBundle& bundle, std::string_view named,
                            std::string_view fileExtension) {
    if (auto p = bundle.urlForResource(named, fileExtension, "RulePacks"))
        return p;
    if (auto p = bundle.urlForResource("RulePacks/" + std::string(named), fileExtension))
        return p;
    return bundle.urlForResource(named, fileExtension);
}

bool decodePack(const ResourceBundle& bundle, std::string_view named,
                const std::function<void(const json::Json&)>& decode) {
    return decodeFile(url(bundle, named, "json"), decode);
}

bool decodeTopLevelResource(const ResourceBundle& bundle, std::string_view named,
                            const std::function<void(const json::Json&)>& decode) {
    return decodeFile(bundle.urlForResource(named, "json"), decode);
}

}  // namespace RulePackResource
}  // namespace mivo
