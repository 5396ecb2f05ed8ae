#include "settings/qt_alert_sink.hpp"

#include <QApplication>

namespace mivo {

void QtAlertSink::beep() {
    QApplication::beep();
}

}  // namespace mivo
