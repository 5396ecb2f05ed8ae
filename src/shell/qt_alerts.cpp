#include "shell/qt_alerts.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QWindow>

#include "ui/bundle_symbols.hpp"

namespace mivo {

namespace {

// Holds the characters on either side on one line, and shows nothing. An
// alert's text cannot be selected or copied, so none ends up in an address
// the user writes.
constexpr QChar kWordJoiner(0x2060);

// Room a title bar keeps beside the title: the window menu and the
// minimise, maximise and close buttons of common themes, and margins.
constexpr int kTitleBarChrome = 170;

// A message box sizes itself from its texts; a spacer across its grid is
// the one width it keeps. The title bar's font is the window manager's;
// the system's title font (bold) is the nearest guess.
void fitTitle(QMessageBox& box, const QString& title) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(title) + kTitleBarChrome;
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// Mivo's mark at the sizes window managers ask for; empty when the logo
// cannot be read.
QIcon mivoIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128}) {
        if (auto logo = ui::brandLogo(QSize(side, side))) {
            icon.addPixmap(QPixmap::fromImage(*logo));
        }
    }
    return icon;
}

}  // namespace

QString withUnbrokenAddresses(const QString& message) {
    static const QRegularExpression address(
        QStringLiteral(R"(https?://[^\s\x{201C}\x{201D}]*[^\s\x{201C}\x{201D}.,;:)])"));
    QString out;
    qsizetype from = 0;
    for (auto it = address.globalMatch(message); it.hasNext();) {
        const auto match = it.next();
        out += message.mid(from, match.capturedStart() - from);
        const QString found = match.captured();
        for (qsizetype i = 0; i < found.size(); ++i) {
            out += found[i];
            if (i + 1 < found.size())
                out += kWordJoiner;
        }
        from = match.capturedEnd();
    }
    return out + message.mid(from);
}

void QtAlerts::show(const AlertRequest& request, std::function<void(int button)> done) {
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName("mivoAlert");
    const QString title = QString::fromStdString(request.title);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(withUnbrokenAddresses(QString::fromStdString(request.message)));
    box->setIcon(request.style == AlertRequest::Style::warning ? QMessageBox::Warning
                                                               : QMessageBox::Information);
    std::vector<QAbstractButton*> buttons;
    for (std::size_t i = 0; i < request.buttons.size(); ++i) {
        buttons.push_back(
            box->addButton(QString::fromStdString(request.buttons[i]),
                           i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    }
    fitTitle(*box, title);
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

    // Over a window of ours the user is at; otherwise on its own, with our
    // icon, in front.
    box->setWindowIcon(mivoIcon());
    box->winId();
    if (QWidget* ours = QApplication::activeWindow();
        ours != nullptr && ours != box && box->windowHandle() != nullptr) {
        box->windowHandle()->setTransientParent(ours->windowHandle());
    }
    box->open();
    box->raise();
    box->activateWindow();
}

void QtAlerts::beep() {
    QApplication::beep();
}

}  // namespace mivo
