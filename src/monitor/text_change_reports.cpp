#include "monitor/text_change_reports.hpp"

#include "shared/text.hpp"

namespace mivo {

std::optional<std::size_t> byteOffsetOf(std::string_view text, AXTextChange::Unit unit,
                                        int64_t offset, int64_t total) {
    if (offset < 0 || offset > total)
        return std::nullopt;
    const auto unitsOf = [unit](unsigned char lead) -> int64_t {
        return unit == AXTextChange::Unit::utf16 && lead >= 0xF0 ? 2 : 1;
    };
    if (offset <= total - offset) {
        std::size_t i = 0;
        int64_t n = 0;
        while (n < offset && i < text.size()) {
            const auto lead = static_cast<unsigned char>(text[i]);
            n += unitsOf(lead);
            i += lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        }
        return n == offset && i <= text.size() ? std::optional(i) : std::nullopt;
    }
    const int64_t back = total - offset;
    std::size_t i = text.size();
    int64_t n = 0;
    while (n < back && i > 0) {
        --i;
        while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            --i;
        n += unitsOf(static_cast<unsigned char>(text[i]));
    }
    return n == back ? std::optional(i) : std::nullopt;
}

int64_t textLength(std::string_view text, AXTextChange::Unit unit) {
    return unit == AXTextChange::Unit::utf16 ? text::utf16Length(text)
                                             : text::codePointLength(text);
}

bool applyTextChanges(std::string& text, const std::vector<AXTextChange>& changes, int64_t& units,
                      int64_t& utf16Units) {
    for (const auto& change : changes) {
        if (change.offset < 0 || change.length < 0 || change.unit != changes.front().unit)
            return false;
        const auto from = byteOffsetOf(text, change.unit, change.offset, units);
        if (!from)
            return false;
        if (change.kind == AXTextChange::Kind::inserted) {
            text.insert(*from, change.text);
            units += change.length;
            utf16Units += text::utf16Length(change.text);
            continue;
        }
        const auto to = byteOffsetOf(text, change.unit, change.offset + change.length, units);
        if (!to || *to < *from)
            return false;
        const std::string_view removed = std::string_view(text).substr(*from, *to - *from);
        if (!change.text.empty() && removed != change.text)
            return false;
        utf16Units -= text::utf16Length(removed);
        units -= change.length;
        text.erase(*from, *to - *from);
    }
    return true;
}

}  // namespace mivo
