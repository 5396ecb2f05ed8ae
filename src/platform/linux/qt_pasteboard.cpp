#include "platform/linux/qt_pasteboard.hpp"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include <memory>
#include <set>

namespace mivo::linux_desktop {
namespace {

bool isPlainText(const QString& format) {
    return format == "text/plain" || format.startsWith("text/plain;");
}

}  // namespace

QtPasteboard::QtPasteboard() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        changed_ = QObject::connect(clipboard, &QClipboard::changed, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++changeCount_;
        });
    }
}

QtPasteboard::~QtPasteboard() {
    QObject::disconnect(changed_);
}

std::vector<PasteboardItem> QtPasteboard::items() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    if (data == nullptr || data->formats().isEmpty())
        return {};
    // The clipboard holds one item. Its plain text is offered under the
    // interface's string type, where the owner first listed a text type;
    // the owner's other types follow as they are.
    PasteboardItem item;
    bool textAdded = false;
    for (const QString& format : data->formats()) {
        if (isPlainText(format)) {
            if (!textAdded && data->hasText()) {
                item.entries.push_back(PasteboardEntry{std::string(kPasteboardTypeString),
                                                       data->text().toStdString()});
                textAdded = true;
            }
            continue;
        }
        const QByteArray bytes = data->data(format);
        item.entries.push_back(
            PasteboardEntry{format.toStdString(), std::string(bytes.constData(), bytes.size())});
    }
    if (item.entries.empty())
        return {};
    return {item};
}

int64_t QtPasteboard::clearContents() {
    const int64_t before = changeCount_;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->clear(QClipboard::Clipboard);
    countOwnChange(before);
    return changeCount_;
}

bool QtPasteboard::writeItems(const std::vector<PasteboardItem>& items) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return false;
    // X11 carries one item; what is there stays, new types join it, and of
    // two entries of one type the first counts.
    std::vector<PasteboardEntry> entries;
    std::set<std::string> types;
    for (const auto& item : this->items()) {
        for (const auto& e : item.entries) {
            if (types.insert(e.type).second)
                entries.push_back(e);
        }
    }
    for (const auto& item : items) {
        for (const auto& e : item.entries) {
            if (types.insert(e.type).second)
                entries.push_back(e);
        }
    }
    auto data = std::make_unique<QMimeData>();
    for (const auto& e : entries) {
        if (e.type == kPasteboardTypeString)
            data->setText(QString::fromStdString(e.data));
        else
            data->setData(QString::fromStdString(e.type),
                          QByteArray(e.data.data(), static_cast<qsizetype>(e.data.size())));
    }
    const int64_t before = changeCount_;
    clipboard->setMimeData(data.release(), QClipboard::Clipboard);  // the clipboard owns it
    countOwnChange(before);
    return true;
}

void QtPasteboard::countOwnChange(int64_t before) {
    if (changeCount_ == before)
        ++changeCount_;
}

}  // namespace mivo::linux_desktop
