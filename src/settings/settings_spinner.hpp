#pragma once

// A small indeterminate progress indicator: a turning arc, 16 across.

#include "ui/spinner.hpp"

namespace mivo {

class SettingsSpinner : public ui::Spinner {
    Q_OBJECT

  public:
    explicit SettingsSpinner(QWidget* parent = nullptr);
};

}  // namespace mivo
