#include "monitor/document_text.hpp"

#include <algorithm>
#include <utility>

#include "shared/text.hpp"

namespace mivo::documentText {
namespace {

// Whether the object character between `before` and `after` (0: none)
// stands for a block rather than an inline object (a link, an image) of the
// line around it: nothing of a sentence goes on across it.
bool isBlockBoundary(char32_t before, char32_t after) {
    const auto ends = [](char32_t c) {
        return c == 0 || c == U'\uFFFC' || c == U'\n' || c == U'。' || c == U'！' || c == U'？' ||
               c == U'.' || c == U'!' || c == U'?';
    };
    return ends(before) || after == 0 || after == U'\uFFFC' || after == U'\n';
}

}  // namespace

bool endsASentence(std::string_view text) {
    constexpr std::string_view kEnds[] = {"。", "！", "？", ".", "!", "?", "」", "』", "）", ")"};
    return std::ranges::any_of(kEnds, [&](std::string_view end) { return text.ends_with(end); });
}

std::size_t objectCount(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t at = text.find(kObjectReplacement); at != std::string_view::npos;
         at = text.find(kObjectReplacement, at + kObjectReplacement.size()))
        ++n;
    return n;
}

std::vector<FieldText> runsOf(const std::string& text) {
    struct CodePoint {
        char32_t c;
        std::size_t byte;
    };
    std::vector<CodePoint> points;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        points.push_back({text::decodeNext(text, i), at});
    }
    std::vector<FieldText> runs;
    std::size_t runByte = 0;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const CodePoint& p = points[k];
        if (p.c != U'\uFFFC' || !isBlockBoundary(k > 0 ? points[k - 1].c : 0,
                                                 k + 1 < points.size() ? points[k + 1].c : 0))
            continue;
        runs.push_back(FieldText{text.substr(runByte, p.byte - runByte), FieldText::Source::value,
                                 text::utf16Length(std::string_view(text).substr(0, runByte))});
        runByte = p.byte + kObjectReplacement.size();
    }
    runs.push_back(FieldText{text.substr(runByte), FieldText::Source::value,
                             text::utf16Length(std::string_view(text).substr(0, runByte))});
    return runs;
}

FieldText runAround(const std::string& text, int64_t caret) {
    auto runs = runsOf(text);
    for (auto& run : runs) {
        if (caret <= run.utf16Start + text::utf16Length(run.text))
            return std::move(run);
    }
    return std::move(runs.back());
}

std::vector<FieldText> linesOf(const FieldText& text) {
    std::vector<FieldText> lines;
    const std::string_view all = text.text;
    int64_t units = text.utf16Start;
    std::size_t from = 0;
    while (from < all.size()) {
        const std::size_t end = std::min(all.find('\n', from), all.size());
        const std::string_view line = all.substr(from, end - from);
        lines.push_back(FieldText{std::string(line), text.source, units});
        units += text::utf16Length(line) + 1;
        from = end + 1;
    }
    return lines;
}

std::string lineAt(const std::string& text, int64_t start) {
    const auto byte = text::utf16ToByteOffset(text, start);
    if (!byte)
        return {};
    const std::string_view rest = std::string_view(text).substr(*byte);
    const std::size_t end = std::min(rest.find('\n'), rest.find(kObjectReplacement));
    return std::string(rest.substr(0, std::min(end, rest.size())));
}

std::string withoutObjects(std::string text) {
    for (std::size_t at = text.find(kObjectReplacement); at != std::string::npos;
         at = text.find(kObjectReplacement, at))
        text.erase(at, kObjectReplacement.size());
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    while (!text.empty() && text.front() == '\n')
        text.erase(0, 1);
    return text;
}

}  // namespace mivo::documentText
