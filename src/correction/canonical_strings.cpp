#include "correction/canonical_strings.hpp"

#include "shared/text.hpp"

namespace mivo {

std::string canonicalKey(std::string_view s) {
    return text::nfc(s);
}

bool isCanonicalKey(std::string_view s) {
    return text::isNfc(s);
}

bool canonicallyEqualsKey(std::string_view s, std::string_view nfcKey) {
    if (s == nfcKey)
        return true;
    return !text::isNfc(s) && text::nfc(s) == nfcKey;
}

bool CanonicalStringSet::contains(std::string_view s) const {
    if (items_.find(s) != items_.end())
        return true;
    if (text::isNfc(s))
        return false;
    return items_.find(text::nfc(s)) != items_.end();
}

}  // namespace mivo
