#include "platform/pasteboard.hpp"

#include <utility>

namespace mivo {

std::optional<std::string> PasteboardItem::dataForType(std::string_view type) const {
    for (const auto& e : entries) {
        if (e.type == type)
            return e.data;
    }
    return std::nullopt;
}

std::optional<std::string> pasteboardString(Pasteboard& pasteboard) {
    const auto items = pasteboard.items();
    if (items.empty())
        return std::nullopt;
    return items.front().dataForType(kPasteboardTypeString);
}

PasteboardItem stringItem(std::string text) {
    return PasteboardItem{{PasteboardEntry{std::string(kPasteboardTypeString), std::move(text)}}};
}

}  // namespace mivo
