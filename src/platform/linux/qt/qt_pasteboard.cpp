#include "platform/linux/qt/qt_pasteboard.hpp"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>
#include <QVariant>

#include <chrono>
#include <set>

#include "platform/linux/x11/x11_clipboard_reader.hpp"

namespace mivo::linux_desktop {
namespace {

// The whole save of another owner's clipboard may take this long, however
// many formats it offers and however slowly it answers.
constexpr std::chrono::milliseconds kSaveBudget{300};

bool isPlainText(const QString& format) {
    return format == "text/plain" || format.startsWith("text/plain;");
}

// Our data on the clipboard, counting how often another application fetches
// its text.
class ServedMimeData : public QMimeData {
  public:
    explicit ServedMimeData(std::shared_ptr<QtPasteboard::Served> served)
        : served_(std::move(served)) {}

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (!served_->readingOurselves && (isPlainText(mimeType) || mimeType == "text/html"))
            ++served_->textFetches;
        return QMimeData::retrieveData(mimeType, type);
    }

  private:
    std::shared_ptr<QtPasteboard::Served> served_;
};

}  // namespace

QtPasteboard::QtPasteboard()
    : served_(std::make_shared<Served>()), reader_(ClipboardReader::open()) {
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

std::vector<PasteboardItem> QtPasteboard::ownItems() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    served_->readingOurselves = true;
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    PasteboardItem item;
    if (data != nullptr) {
        // Plain text is offered under the interface's string type, where
        // the owner first listed a text type; other types follow as they are.
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
            item.entries.push_back(PasteboardEntry{format.toStdString(),
                                                   std::string(bytes.constData(), bytes.size())});
        }
    }
    served_->readingOurselves = false;
    if (item.entries.empty())
        return {};
    return {item};
}

std::vector<PasteboardItem> QtPasteboard::items() {
    return itemsIfHandedOver().value_or(std::vector<PasteboardItem>{});
}

std::optional<std::vector<PasteboardItem>> QtPasteboard::itemsIfHandedOver() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return std::vector<PasteboardItem>{};
    // Our own data is read in the process; another owner's over a private
    // connection, bounded, never through Qt's blocking read.
    if (clipboard->ownsClipboard() || reader_ == nullptr)
        return ownItems();
    auto entries = reader_->read(kSaveBudget);
    if (!entries)
        return std::nullopt;
    if (entries->empty())
        return std::vector<PasteboardItem>{};
    return std::vector{PasteboardItem{std::move(*entries)}};
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
    auto data = std::make_unique<ServedMimeData>(served_);
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

std::optional<int64_t> QtPasteboard::textFetchCount() {
    return served_->textFetches;
}

void QtPasteboard::countOwnChange(int64_t before) {
    if (changeCount_ == before)
        ++changeCount_;
}

}  // namespace mivo::linux_desktop
