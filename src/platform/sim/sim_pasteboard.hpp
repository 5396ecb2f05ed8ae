#pragma once

// An in-memory general pasteboard. The test can copy as the user would and
// make the pasteboard refuse writes.

#include "platform/pasteboard.hpp"

namespace mivo::sim {

class SimPasteboard : public Pasteboard {
  public:
    int64_t changeCount() override { return changeCount_; }
    // Nothing of contents whose owner does not hand them over.
    std::vector<PasteboardItem> items() override {
        return itemsIfHandedOver().value_or(std::vector<PasteboardItem>{});
    }
    int64_t clearContents() override;
    bool writeItems(const std::vector<PasteboardItem>& items) override;

    // The user copies: clears and writes in one go, as applications do.
    void userCopies(std::vector<PasteboardItem> items);
    void setRefusesWrites(bool refuses) { refusesWrites_ = refuses; }
    // The application holding the user's contents stops handing them over.
    void setOwnerAnswers(bool answers) { ownerAnswers_ = answers; }
    std::optional<std::vector<PasteboardItem>> itemsIfHandedOver() override;

    // Like the X11 clipboard, which sees each paste target fetch the text;
    // off by default, as on a pasteboard that cannot tell.
    void setCountsFetches(bool counts) { countsFetches_ = counts; }
    std::optional<int64_t> textFetchCount() override;
    // A paste target read the text.
    void noteTextFetched() { ++fetches_; }

  private:
    std::vector<PasteboardItem> items_;
    int64_t changeCount_ = 0;
    bool refusesWrites_ = false;
    bool ownerAnswers_ = true;
    bool countsFetches_ = false;
    int64_t fetches_ = 0;
};

}  // namespace mivo::sim
