#pragma once

// The clipboard (not the primary selection) through Qt. X11 keeps no change
// count, so this one counts every change Qt reports, ours and everyone
// else's.
//
// On X11 a paste target fetches the clipboard from its owner when it
// handles the paste, which may be long after the keystroke; while we own
// the clipboard, Qt serves those requests from our data, which counts them
// (textFetchCount), so a paste can wait for its target before putting the
// user's clipboard back.

#include <QMetaObject>

#include <memory>

#include "platform/pasteboard.hpp"

namespace mivo::linux_desktop {

class ClipboardReader;

class QtPasteboard : public Pasteboard {
  public:
    QtPasteboard();
    ~QtPasteboard() override;
    QtPasteboard(const QtPasteboard&) = delete;
    QtPasteboard& operator=(const QtPasteboard&) = delete;

    int64_t changeCount() override { return changeCount_; }
    std::vector<PasteboardItem> items() override;
    std::optional<std::vector<PasteboardItem>> itemsIfHandedOver() override;
    int64_t clearContents() override;
    bool writeItems(const std::vector<PasteboardItem>& items) override;
    std::optional<int64_t> textFetchCount() override;

    struct Served {
        int64_t textFetches = 0;
        bool readingOurselves = false;
    };

  private:
    // Makes sure a change of ours counts once, whether or not Qt reported it
    // before returning.
    void countOwnChange(int64_t before);
    std::vector<PasteboardItem> ownItems();

    int64_t changeCount_ = 0;
    QMetaObject::Connection changed_;
    std::shared_ptr<Served> served_;
    std::unique_ptr<ClipboardReader> reader_;
};

}  // namespace mivo::linux_desktop
