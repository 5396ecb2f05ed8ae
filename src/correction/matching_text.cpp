#include "correction/matching_text.hpp"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <optional>

namespace mivo {
namespace {

// A bucket of the Character's first bytes (a code point takes at most
// four; three for all of kana and kanji), without decoding them.
std::size_t firstCodePointBucket(std::string_view character) {
    std::size_t h = 0;
    for (std::size_t k = 0; k < character.size() && k < 3; ++k)
        h = h * 61 + static_cast<unsigned char>(character[k]);
    return h % 2048;
}

}  // namespace

MatchingText::MatchingText(std::string_view text) : original_(std::string(text)) {
    const int64_t n = original_.count();
    bounds_.reserve(static_cast<std::size_t>(n) + 1);
    // Text typed by people is nearly always NFC already; then each
    // Character is its own NFC form and the text serves as it is.
    if (text::isNfc(original_.str())) {
        normalized_ = original_.str();
        for (int64_t i = 1; i <= n; ++i)
            bounds_.push_back(original_.byteOffset(i));
        return;
    }
    normalized_.reserve(original_.str().size());
    for (int64_t i = 0; i < n; ++i) {
        normalized_ += text::nfc(original_.sliceView(i, i + 1));
        bounds_.push_back(normalized_.size());
    }
}

std::string_view MatchingText::character(int64_t index) const {
    if (index < 0 || index >= count())
        return {};
    const auto i = static_cast<std::size_t>(index);
    return std::string_view(normalized_).substr(bounds_[i], bounds_[i + 1] - bounds_[i]);
}

bool MatchingText::matchesAt(const MatchingText& needle, int64_t at) const {
    const int64_t n = needle.count();
    if (n == 0 || at < 0 || at + n > count())
        return false;
    // Equal Characters make equal byte runs, so one comparison covers them
    // all once the run's Character boundaries agree.
    const auto b = bounds_[static_cast<std::size_t>(at)];
    const auto e = bounds_[static_cast<std::size_t>(at + n)];
    if (e - b != needle.normalized_.size() ||
        std::string_view(normalized_).substr(b, e - b) != needle.normalized_) {
        return false;
    }
    for (int64_t k = 1; k < n; ++k) {
        if (bounds_[static_cast<std::size_t>(at + k)] - b !=
            needle.bounds_[static_cast<std::size_t>(k)]) {
            return false;
        }
    }
    return true;
}

std::vector<int64_t> MatchingText::occurrences(const MatchingText& needle) const {
    std::vector<int64_t> out;
    const int64_t n = needle.count();
    for (int64_t i = 0; n > 0 && i + n <= count(); ++i) {
        if (matchesAt(needle, i))
            out.push_back(i);
    }
    return out;
}

std::shared_ptr<const MatchingText> MatchingText::of(std::string_view text) {
    thread_local std::shared_ptr<const MatchingText> last;
    if (!last || last->original_.str() != text)
        last = std::make_shared<const MatchingText>(text);
    return last;
}

LiteralIndex::LiteralIndex(const std::vector<std::string>& needles) {
    needles_.reserve(needles.size());
    for (std::size_t i = 0; i < needles.size(); ++i) {
        needles_.emplace_back(needles[i]);
        if (!needles_.back().empty()) {
            const std::string_view first = needles_.back().character(0);
            byFirstCharacter_.emplace_back(std::string(first), i);
            firstCodePoints_[firstCodePointBucket(first)] = true;
        }
    }
    std::sort(byFirstCharacter_.begin(), byFirstCharacter_.end());
}

std::vector<std::vector<int64_t>> LiteralIndex::occurrences(const MatchingText& text) const {
    std::vector<std::vector<int64_t>> out(needles_.size());
    if (byFirstCharacter_.empty())
        return out;
    const auto byCharacter = [](const std::pair<std::string, std::size_t>& entry,
                                std::string_view c) { return entry.first < c; };
    for (int64_t i = 0; i < text.count(); ++i) {
        const std::string_view c = text.character(i);
        if (!firstCodePoints_[firstCodePointBucket(c)])
            continue;
        for (auto it = std::lower_bound(byFirstCharacter_.begin(), byFirstCharacter_.end(), c,
                                        byCharacter);
             it != byFirstCharacter_.end() && it->first == c; ++it) {
            if (text.matchesAt(needles_[it->second], i))
                out[it->second].push_back(i);
        }
    }
    return out;
}

bool ClaimedRanges::overlaps(int64_t start, int64_t end) const {
    if (start >= end)
        return false;
    // The run starting last before `end` is the only one that can reach
    // past `start`: the runs before it end before it begins.
    auto after = runs_.lower_bound(end);
    if (after == runs_.begin())
        return false;
    return std::prev(after)->second > start;
}

void ClaimedRanges::claim(int64_t start, int64_t end) {
    if (start >= end)
        return;
    // Runs that overlap or touch the new one merge with it.
    auto it = runs_.upper_bound(start);
    if (it != runs_.begin() && std::prev(it)->second >= start)
        --it;
    while (it != runs_.end() && it->first <= end) {
        start = std::min(start, it->first);
        end = std::max(end, it->second);
        it = runs_.erase(it);
    }
    runs_.emplace(start, end);
}

std::vector<std::size_t> longestFirstOrder(const std::vector<int64_t>& lengths) {
    std::vector<std::size_t> order(lengths.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return lengths[a] > lengths[b]; });
    return order;
}

}  // namespace mivo
