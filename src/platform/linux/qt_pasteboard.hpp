#pragma once

// The clipboard (not the primary selection) through Qt. X11 keeps no change
// count, so this one counts every change Qt reports, ours and everyone
// else's.

#include <QMetaObject>

#include "platform/pasteboard.hpp"

namespace mivo::linux_desktop {

class QtPasteboard : public Pasteboard {
  public:
    QtPasteboard();
    ~QtPasteboard() override;
    QtPasteboard(const QtPasteboard&) = delete;
    QtPasteboard& operator=(const QtPasteboard&) = delete;

    int64_t changeCount() override { return changeCount_; }
    std::vector<PasteboardItem> items() override;
    int64_t clearContents() override;
    bool writeItems(const std::vector<PasteboardItem>& items) override;

  private:
    // Makes sure a change of ours counts once, whether or not Qt reported it
    // before returning.
    void countOwnChange(int64_t before);

    int64_t changeCount_ = 0;
    QMetaObject::Connection changed_;
};

}  // namespace mivo::linux_desktop
