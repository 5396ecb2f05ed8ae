#include "ui/fonts.hpp"

namespace mivo::ui {

QFont japaneseFont(int pixelSize, QFont::Weight weight) {
    QFont font(QString::fromLatin1(japaneseFontFamily));
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace mivo::ui
