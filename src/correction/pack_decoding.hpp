#pragma once

// Strict decoding helpers shared by the rule packs: any missing key, wrong
// type or unknown enumeration name throws json::DecodingError, so a pack is
// decoded whole or refused whole. Keys a pack does not name are ignored.
// Include only from sources: it brings in the full JSON header.

#include "shared/json.hpp"
#include "shared/records_json.hpp"

#include <string_view>
#include <vector>

namespace mivo::packs {

// The array under `key` of `object`, each element decoded by `decodeElement`.
template <typename Decode>
auto requireArrayOf(const json::Json& object, std::string_view key, Decode decodeElement) {
    const json::Json& array = json::requireArray(json::member(object, key), key);
    std::vector<decltype(decodeElement(array.front()))> out;
    out.reserve(array.size());
    for (const json::Json& element : array)
        out.push_back(decodeElement(json::requireObject(element, key)));
    return out;
}

inline CorrectionIssue::Severity requireSeverity(const json::Json& object) {
    return severityFromJson(json::member(object, "severity"));
}

inline CorrectionIssue::Category requireCategory(const json::Json& object) {
    return categoryFromJson(json::member(object, "category"));
}

}  // namespace mivo::packs
