#pragma once

// The general pasteboard (the clipboard): items of typed data and a change
// count that grows with every change of its contents, by anyone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

inline constexpr std::string_view kPasteboardTypeString = "text/plain;charset=utf-8";

struct PasteboardEntry {
    std::string type;
    std::string data;  // bytes; UTF-8 for text types
    bool operator==(const PasteboardEntry&) const = default;
};

// One item may carry the same content in several types, in the order of
// preference of the application that wrote it.
struct PasteboardItem {
    std::vector<PasteboardEntry> entries;

    std::optional<std::string> dataForType(std::string_view type) const;
    bool operator==(const PasteboardItem&) const = default;
};

class Pasteboard {
  public:
    virtual ~Pasteboard() = default;

    virtual int64_t changeCount() = 0;
    virtual std::vector<PasteboardItem> items() = 0;
    // The items, or nothing when another application holds contents that
    // it did not hand over in time (busy, or stopped): those are known to
    // be there, but not what they are.
    virtual std::optional<std::vector<PasteboardItem>> itemsIfHandedOver() { return items(); }
    // Empties the pasteboard; answers the new change count.
    virtual int64_t clearContents() = 0;
    // Adds the items after what the pasteboard holds; false when refused.
    virtual bool writeItems(const std::vector<PasteboardItem>& items) = 0;
    // How often other applications have fetched text we put on the
    // pasteboard (it grows when a paste target reads it); nothing where the
    // pasteboard cannot tell.
    virtual std::optional<int64_t> textFetchCount() { return std::nullopt; }
};

// The pasteboard's text: the first item's string, if any.
std::optional<std::string> pasteboardString(Pasteboard& pasteboard);
// One item holding `text` as a string.
PasteboardItem stringItem(std::string text);

}  // namespace mivo
