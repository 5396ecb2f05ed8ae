#pragma once

// Rule packs: JSON data of the rules, in the engine's resource bundle
// "Mivo_LocalCorrection". Whatever goes wrong while loading a pack, the rule
// silently uses its compiled-in fallback; a pack is taken whole or not at all.

#include "shared/json_fwd.hpp"
#include "shared/resource_bundle.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace mivo {

// The engine's bundle, resolved once per process: the installed or
// beside-the-executable "Mivo_LocalCorrection.bundle", else the source tree's.
const ResourceBundle& localCorrectionResources();

namespace RulePackResource {

// "RulePacks/<name>.<ext>", then the top level; nothing when neither exists.
std::optional<std::filesystem::path> url(const ResourceBundle& bundle, std::string_view named,
                                         std::string_view fileExtension);

// Reads the pack `named` (looked up with url()) and hands its JSON to
// `decode`; false when the file is missing, unreadable, not JSON, or when
// `decode` throws (any exception: the pack is refused whole).
bool decodePack(const ResourceBundle& bundle, std::string_view named,
                const std::function<void(const json::Json&)>& decode);

// The same for a resource at the bundle's top level only (the vocabulary).
bool decodeTopLevelResource(const ResourceBundle& bundle, std::string_view named,
                            const std::function<void(const json::Json&)>& decode);

}  // namespace RulePackResource

// The decoded pack, or `fallback` on any failure.
template <typename Pack>
Pack loadRulePack(std::string_view named, Pack (*decode)(const json::Json&), const Pack& fallback,
                  const ResourceBundle& bundle = localCorrectionResources()) {
    std::optional<Pack> decoded;
    if (RulePackResource::decodePack(bundle, named,
                                     [&](const json::Json& j) { decoded = decode(j); })) {
        return std::move(*decoded);
    }
    return fallback;
}

}  // namespace mivo
