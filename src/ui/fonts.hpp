#pragma once

// Fonts shared by Mivo's views. Sizes are pixels (one design point = one
// device-independent pixel), never Qt points.

#include <QFont>

namespace mivo::ui {

// The Japanese system face of every view: "Noto Sans CJK JP" where installed.
inline constexpr const char* japaneseFontFamily = "Noto Sans CJK JP";

QFont japaneseFont(int pixelSize, QFont::Weight weight = QFont::Normal);

}  // namespace mivo::ui
