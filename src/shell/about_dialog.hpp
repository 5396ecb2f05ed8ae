#pragma once

// "About Mivo": Mivo's logo, its name, the version texts and a line on what
// it does, in the settings window's colours. Made once, shown again on
// every ask, never modal: Mivo runs on behind it.

#include <QDialog>

#include "shell/main_menu_model.hpp"

class QLabel;

namespace mivo {

class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(const AboutTexts& texts, QWidget* parent = nullptr);

    QLabel* logo() const { return logo_; }

  protected:
    // Return and Enter press OK, as in any dialog: the painted OK button is
    // not one that QDialog knows to press.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void applyAppearance();

    QLabel* logo_ = nullptr;
};

}  // namespace mivo
