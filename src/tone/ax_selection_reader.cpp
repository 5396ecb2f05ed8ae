#include "tone/ax_selection_reader.hpp"

#include <algorithm>
#include <array>

#include "field/ax_geometry.hpp"
#include "field/ax_text_extractor.hpp"
#include "platform/ax_reads.hpp"

namespace mivo::AXSelectionReader {
namespace {

std::optional<std::string> trimmedOrAbsent(std::string_view s) {
    std::string t = text::trimWhitespaceAndNewlines(s);
    if (t.empty())
        return std::nullopt;
    return t;
}

}  // namespace

// A whole value and a caret window share the element's UTF-16 offsets (the
// window from its own start on); static text joined from children has
// offsets of its own, and the caret is taken as it comes.
int64_t caretIndex(Accessibility& ax, const AXElement& element,
                   const AXTextExtractor::ExtractedText& read, const text::CharacterText& chars) {
    const int64_t count = chars.count();
    const auto range = AXTextExtractor::selectedTextRange(ax, element);
    if (!range)
        return count;
    int64_t utf16 = range->end();
    if (read.source == AXTextExtractor::ExtractedText::Source::staticText)
        return std::clamp<int64_t>(utf16, 0, count);
    if (read.source == AXTextExtractor::ExtractedText::Source::caretWindow)
        utf16 -= read.utf16Start;
    utf16 = std::clamp<int64_t>(utf16, 0, chars.utf16Offset(count));
    // Inside a Character (a surrogate pair, a cluster): the caret stands
    // before it.
    for (; utf16 > 0; --utf16) {
        if (const auto index = chars.characterIndexAtUtf16(utf16))
            return *index;
    }
    return 0;
}

Context contextAround(const text::CharacterText& text, int64_t start, int64_t end) {
    const int64_t count = text.count();
    return Context{
        trimmedOrAbsent(
            text.sliceView(std::max<int64_t>(start - maxPrecedingCharacters, 0), start)),
        trimmedOrAbsent(text.sliceView(end, std::min(end + maxFollowingCharacters, count)))};
}

bool isSentenceTerminator(std::string_view character) {
    static constexpr std::array<std::string_view, 6> kTerminators{"。", "！", "？", "!", "?", "\n"};
    return std::find(kTerminators.begin(), kTerminators.end(), character) != kTerminators.end();
}

std::pair<int64_t, int64_t> sentenceBounds(const text::CharacterText& text, int64_t caret) {
    const int64_t count = text.count();
    caret = std::clamp<int64_t>(caret, 0, count);
    int64_t start = 0;
    for (int64_t i = caret - 1; i >= 0; --i) {
        if (isSentenceTerminator(text.at(i))) {
            start = i + 1;
            break;
        }
    }
    int64_t end = count;
    for (int64_t i = caret; i < count; ++i) {
        if (isSentenceTerminator(text.at(i))) {
            end = i + 1;
            break;
        }
    }
    return {start, end};
}

std::pair<int64_t, int64_t> sentenceAtCaret(const text::CharacterText& text, int64_t caret) {
    auto bounds = sentenceBounds(text, caret);
    // Each step starts on the terminator before the last sentence tried, so
    // the start moves back every time.
    while (bounds.first > 0 &&
           text::trimWhitespaceAndNewlines(text.sliceView(bounds.first, bounds.second)).empty())
        bounds = sentenceBounds(text, bounds.first - 1);
    return bounds;
}

std::optional<Capture> capture(Accessibility& ax, const AXElement& element) {
    const auto read = AXTextExtractor::readText(ax, element, textWindowCharacters)
                          .value_or(AXTextExtractor::ExtractedText{});
    const text::CharacterText chars(read.text);
    const int64_t caret = caretIndex(ax, element, read, chars);

    if (auto selected = AXTextExtractor::selectedText(ax, element)) {
        Context context;
        if (const auto occurrence = AXTextExtractor::targetRange(*selected, chars.str(), caret)) {
            context = contextAround(chars, occurrence->characterStart,
                                    occurrence->characterStart + occurrence->characterLength);
        }
        return Capture{std::move(*selected), true, std::move(context)};
    }

    if (text::trimWhitespaceAndNewlines(chars.str()).empty())
        return std::nullopt;
    const auto [start, end] = sentenceAtCaret(chars, caret);
    auto sentence = trimmedOrAbsent(chars.sliceView(start, end));
    if (!sentence)
        return std::nullopt;
    // The context is cut at the untrimmed sentence's bounds: white space
    // trimmed off the sentence belongs to neither side.
    return Capture{std::move(*sentence), false, contextAround(chars, start, end)};
}

bool isSecureTextField(Accessibility& ax, const AXElement& element) {
    return readString(ax, element, kAXSubroleAttribute) == kAXSecureTextFieldSubrole;
}

std::optional<Rect> anchorFrame(Accessibility& ax, Screens& screens, std::string_view target,
                                const AXElement& element) {
    if (auto r = AXTextExtractor::boundsForTargetText(ax, screens, target, element))
        return r;
    if (auto r = AXTextExtractor::caretRect(ax, screens, element))
        return r;
    return AXTextExtractor::elementFrame(ax, screens, element);
}

std::optional<Result> read(Desktop desktop) {
    Accessibility& ax = desktop.accessibility;
    Workspace& workspace = desktop.workspace;
    if (const auto front = workspace.frontmostApplication())
        AXTextExtractor::enableEnhancedAX(ax, ax.applicationElement(front->pid));
    const auto element = AXTextExtractor::focusedTextElement(ax, workspace);
    // Nothing of a password field is read, let alone sent out.
    if (!element || isSecureTextField(ax, *element))
        return std::nullopt;
    const auto front = workspace.frontmostApplication();
    std::optional<std::string> bundleIdentifier = front ? front->bundleIdentifier : std::nullopt;

    auto captured = capture(ax, *element);
    if (!captured)
        return std::nullopt;
    auto anchor = anchorFrame(ax, desktop.screens, captured->targetText, *element);
    return Result{std::move(captured->targetText),
                  captured->isSelection,
                  anchor,
                  std::move(bundleIdentifier),
                  *element,
                  std::move(captured->context.preceding),
                  std::move(captured->context.following)};
}

}  // namespace mivo::AXSelectionReader
