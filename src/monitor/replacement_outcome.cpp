#include "monitor/replacement_outcome.hpp"

#include <algorithm>
#include <string>

#include "shared/text.hpp"

namespace mivo {

UnwrittenField unwrittenField(const AXTextExtractor::ExtractedText& atApply,
                              const AXTextExtractor::ExtractedText& now) {
    if (now.source == atApply.source && now.utf16Start == atApply.utf16Start &&
        text::canonicallyEqual(now.text, atApply.text))
        return UnwrittenField::asItWas;
    // Every unit of the text at Apply is still there, with one stretch
    // typed in between: nothing of the user's was lost.
    const std::u16string before = text::toUtf16(text::nfc(atApply.text));
    const std::u16string after = text::toUtf16(text::nfc(now.text));
    const std::size_t most = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < most && before[head] == after[head])
        ++head;
    std::size_t tail = 0;
    while (tail < most - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    return head + tail >= before.size() ? UnwrittenField::changedElsewhere
                                        : UnwrittenField::sentenceReplaced;
}

}  // namespace mivo
