#pragma once

// Strict decoding helpers shared by the rule packs: any missing key, wrong
// type or unknown enumeration name throws json::DecodingError, so a pack is
// decoded whole or refused whole. Keys a pack does not name are ignored.
// Include only from sources: it brings in the full JSON header.

#include "morphology/morpheme.hpp"
#include "shared/json.hpp"
#include "shared/records_json.hpp"

#include <map>
#include <optional>
#include <set>
#include <string>
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

// An optional key: nothing when it is absent or null.
const json::Json* optionalMember(const json::Json& object, std::string_view key);
std::optional<std::string> optionalString(const json::Json& object, std::string_view key);
std::optional<double> optionalNumber(const json::Json& object, std::string_view key);

// A JSON array of strings read as a set: order and repeats do not matter.
std::set<std::string> requireStringSet(const json::Json& object, std::string_view key);
std::optional<std::set<std::string>> optionalStringSet(const json::Json& object,
                                                       std::string_view key);

// A JSON object of string values. Of two keys that are canonically
// equivalent the first one written stays.
std::map<std::string, std::string> requireStringMap(const json::Json& object, std::string_view key);

// One of the JapanesePartOfSpeech names, exactly.
JapanesePartOfSpeech partOfSpeechFromJson(const json::Json& value, std::string_view what);

}  // namespace mivo::packs
