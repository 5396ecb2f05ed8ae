#include "shell/about_dialog.hpp"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "settings/settings_buttons.hpp"
#include "settings/settings_controls.hpp"
#include "settings/settings_theme.hpp"
#include "ui/bundle_symbols.hpp"

namespace mivo {

namespace {

constexpr int kLogoSide = 64;

QLabel* centred(QLabel* label, const char* name) {
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

}  // namespace

AboutDialog::AboutDialog(const AboutTexts& texts, QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setWindowTitle(QString::fromStdString(texts.windowTitle));
    // A fixed panel with a close button, nothing to minimise or enlarge.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // Closing hides it; it must never end the program with it.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 28, 40, 24);
    layout->setSpacing(8);
    logo_ = centred(new QLabel(), "aboutLogo");
    logo_->setFixedHeight(kLogoSide);
    layout->addWidget(logo_);
    layout->addSpacing(6);
    layout->addWidget(centred(new ThemedLabel(QString::fromStdString(texts.name), 20,
                                              QFont::DemiBold, SettingsColor::textPrimary),
                              "aboutName"));
    layout->addWidget(centred(new ThemedLabel(QString::fromStdString(texts.version), 13,
                                              QFont::Normal, SettingsColor::textSecondary),
                              "aboutVersion"));
    layout->addWidget(centred(new ThemedLabel(QString::fromStdString(texts.summary), 13,
                                              QFont::Normal, SettingsColor::textSecondary),
                              "aboutSummary"));
    layout->addSpacing(12);
    auto* ok = new SettingsButton(tr("OK"), SettingsButton::Style::primary);
    ok->setObjectName("aboutOK");
    ok->setFocus();
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    applyAppearance();
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this,
            [this] { applyAppearance(); });
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void AboutDialog::applyAppearance() {
    QPalette p = palette();
    p.setColor(QPalette::Window, MivoSettingsTheme::windowBackground());
    setPalette(p);
    setAutoFillBackground(true);
    // The one-colour logo in the text's colour, as the tray draws it.
    const qreal ratio = devicePixelRatioF();
    const int side = static_cast<int>(kLogoSide * ratio);
    if (auto image = ui::brandLogo(QSize(side, side))) {
        QPixmap pixmap = QPixmap::fromImage(ui::tinted(*image, MivoSettingsTheme::textPrimary()));
        pixmap.setDevicePixelRatio(ratio);
        logo_->setPixmap(pixmap);
    } else {
        logo_->clear();
    }
}

}  // namespace mivo
