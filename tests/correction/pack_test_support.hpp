#pragma once

// Helpers shared by the rule-pack tests: the shipped pack files and strict
// decoding of hand-written JSON.

#include "correction/rule_pack.hpp"
#include "shared/json.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace mivo::testing {

// The bundle of the source tree, the one the build ships.
inline ResourceBundle sourceLocalCorrectionBundle() {
    return ResourceBundle(sourceResourcesFolder() / "Mivo_LocalCorrection.bundle");
}

// The pack file `named` of the shipped bundle, decoded strictly; nothing
// when it is missing or does not decode (no silent fallback here).
template <typename Pack>
std::optional<Pack> shippedPack(std::string_view named, Pack (*decode)(const json::Json&)) {
    std::optional<Pack> decoded;
    if (!RulePackResource::decodePack(sourceLocalCorrectionBundle(), named,
                                      [&](const json::Json& j) { decoded = decode(j); })) {
        return std::nullopt;
    }
    return decoded;
}

// `jsonText` decoded by `decode`, or nothing when the decoder refuses it.
template <typename Pack>
std::optional<Pack> decoded(Pack (*decode)(const json::Json&), std::string_view jsonText) {
    try {
        return decode(json::parse(jsonText));
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace mivo::testing
