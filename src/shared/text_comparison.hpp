#pragma once

// Comparing and searching user text under canonical equivalence, Character
// by Character.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo::text {

// Canonical equivalence: NFC both sides, compare bytes.
std::string nfc(std::string_view s);
bool isNfc(std::string_view s);
bool canonicallyEqual(std::string_view a, std::string_view b);
bool hasPrefix(std::string_view s, std::string_view prefix);  // canonical, Character-aligned
bool hasSuffix(std::string_view s, std::string_view suffix);  // canonical, Character-aligned
// Character offset of the first occurrence of `needle` at or after Character
// `from`, matched Character by Character under canonical equivalence.
std::optional<int64_t> find(std::string_view haystack, std::string_view needle, int64_t from = 0);
std::vector<int64_t> findAll(std::string_view haystack, std::string_view needle);
bool contains(std::string_view haystack, std::string_view needle);

}  // namespace mivo::text
