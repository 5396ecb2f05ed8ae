#pragma once

// Decoding helpers shared by the rule packs. Like shared/json, every helper
// throws json::DecodingError on a missing key or a wrong type, so a pack is
// taken whole or not at all.

#include "morphology/morpheme.hpp"
#include "shared/json_fwd.hpp"
#include "shared/records.hpp"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mivo::packjson {

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

CorrectionIssue::Severity requireSeverity(const json::Json& object, std::string_view key);
CorrectionIssue::Category requireCategory(const json::Json& object, std::string_view key);
JapanesePartOfSpeech partOfSpeechFromJson(const json::Json& value, std::string_view what);

}  // namespace mivo::packjson
