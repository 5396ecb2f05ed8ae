#pragma once

// The text every toolkit, browser and application suite starts from: 😀
// and 𠮷 take two UTF-16 units each, so 晴れ is at units 7 and 8 but code
// points 5 and 6 — a toolkit that counts the other way shows at once.

#include <string>

#include "platform/accessibility.hpp"
#include "platform/geometry.hpp"
#include "shared/records.hpp"

namespace mivo::desktop_test {

inline const std::string kText = "\U0001F600\U00020BB7今日は晴れです。";
inline const std::string kRained = "\U0001F600\U00020BB7今日は雨です。";
inline constexpr Utf16Range kSunny{7, 2};

// The correction of kText every write-back test applies: 晴れ (Characters
// 5 to 7) becomes 雨, which gives kRained.
CorrectionIssue sunnyToRained();

// Each range of the table after the two wide characters reads as its text
// and, selected through the application, reads back as that selection
// (not one a unit early) within `waitSeconds`.
void expectRangesReadAndSelectAfterWideCharacters(Accessibility& ax, const AXElement& field,
                                                  double waitSeconds);

}  // namespace mivo::desktop_test
