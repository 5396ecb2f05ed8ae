#include "shell/qt_alerts.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QTextBoundaryFinder>
#include <QWindow>
#include <algorithm>
#include <utility>
#include <vector>

#include "ui/bundle_symbols.hpp"

namespace mivo {

namespace {

// The widest line of an alert's message, in average characters: about
// what a message box gives its text by itself.
constexpr int kLineCharacters = 64;

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

namespace {

// The places where `paragraph` may end a line: the text's own line-break
// opportunities, none inside a web address.
std::vector<qsizetype> breakOpportunities(const QString& paragraph) {
    static const QRegularExpression address(
        QStringLiteral(R"(https?://[^\s\x{201C}\x{201D}]*[^\s\x{201C}\x{201D}.,;:)])"));
    std::vector<std::pair<qsizetype, qsizetype>> addresses;
    for (auto it = address.globalMatch(paragraph); it.hasNext();) {
        const auto match = it.next();
        addresses.emplace_back(match.capturedStart(), match.capturedEnd());
    }
    std::vector<qsizetype> out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
    for (qsizetype at = finder.toNextBoundary(); at > 0 && at < paragraph.size();
         at = finder.toNextBoundary()) {
        const bool inside = std::ranges::any_of(
            addresses, [at](const auto& span) { return at > span.first && at < span.second; });
        if (!inside)
            out.push_back(at);
    }
    out.push_back(paragraph.size());
    return out;
}

// One paragraph (no line breaks of its own) broken greedily, at spaces;
// inside a word only when the word alone is wider than a line.
QString brokenParagraph(const QString& paragraph, const QFontMetrics& metrics, int width) {
    std::vector<QStringList> words(1);
    qsizetype from = 0;
    for (const qsizetype to : breakOpportunities(paragraph)) {
        words.back().append(paragraph.mid(from, to - from));
        if (paragraph[to - 1] == QLatin1Char(' '))
            words.emplace_back();
        from = to;
    }
    const auto fits = [&](const QString& line) {
        return metrics.horizontalAdvance(line.trimmed()) <= width;
    };
    QString out;
    QString line;
    // The spaces where a line ends give way to the line break.
    const auto endLine = [&] {
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out += line + QLatin1Char('\n');
        line.clear();
    };
    for (const QStringList& pieces : words) {
        const QString word = pieces.join(QString());
        if (!line.isEmpty() && !fits(line + word))
            endLine();
        if (!line.isEmpty() || fits(word) || pieces.size() < 2) {
            line += word;
            continue;
        }
        // A word wider than a line, starting one: broken where it may be.
        for (const QString& piece : pieces) {
            if (!line.isEmpty() && !fits(line + piece))
                endLine();
            line += piece;
        }
    }
    return out + line;
}

}  // namespace

QString withUnbrokenAddresses(const QString& message, const QFontMetrics& metrics, int width) {
    QStringList paragraphs = message.split(QLatin1Char('\n'));
    for (QString& paragraph : paragraphs)
        paragraph = brokenParagraph(paragraph, metrics, width);
    return paragraphs.join(QLatin1Char('\n'));
}

void QtAlerts::show(const AlertRequest& request, std::function<void(int button)> done) {
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName("mivoAlert");
    const QString title = QString::fromStdString(request.title);
    box->setWindowTitle(title);
    box->setText(title);
    // Broken into lines here, and never again by the label, which would
    // break an address inside.
    const QString message = QString::fromStdString(request.message);
    box->setInformativeText(message);
    auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    const QFontMetrics metrics = informative ? informative->fontMetrics() : box->fontMetrics();
    box->setInformativeText(
        withUnbrokenAddresses(message, metrics, metrics.averageCharWidth() * kLineCharacters));
    if (informative) {
        informative->setTextFormat(Qt::PlainText);
        informative->setWordWrap(false);
        // A screen reader reads the message as written, not our lines.
        informative->setAccessibleName(message);
    }
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
