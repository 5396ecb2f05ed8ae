#include "app/qt_alerts.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace mivo {

void QtAlerts::show(const AlertRequest& request, std::function<void(int button)> done) {
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName("mivoAlert");
    box->setWindowTitle(QString::fromStdString(request.title));
    box->setText(QString::fromStdString(request.title));
    box->setInformativeText(QString::fromStdString(request.message));
    box->setIcon(request.style == AlertRequest::Style::warning ? QMessageBox::Warning
                                                               : QMessageBox::Information);
    std::vector<QAbstractButton*> buttons;
    for (std::size_t i = 0; i < request.buttons.size(); ++i) {
        buttons.push_back(
            box->addButton(QString::fromStdString(request.buttons[i]),
                           i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, done = std::move(done)] {
        int chosen = 0;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (box->clickedButton() == buttons[i]) {
                chosen = static_cast<int>(i);
            }
        }
        if (done) {
            done(chosen);
        }
    });
    box->open();
    box->raise();
    box->activateWindow();
}

void QtAlerts::beep() {
    QApplication::beep();
}

}  // namespace mivo
