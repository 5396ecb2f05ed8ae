#pragma once

// Sets and maps of strings that compare under canonical equivalence, for the
// rules' word lists. Keys are stored in NFC once, at construction; a query
// is normalised only when it is not NFC already (morphemes from the
// tokenizer always are), so a lookup costs one hash and one quick check.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace mivo {

// The NFC form used as a key; the input itself when it is NFC already.
std::string canonicalKey(std::string_view s);

// True when `s` is its own key (already NFC).
bool isCanonicalKey(std::string_view s);

// `s` canonically equal to `nfcKey`, which is already in NFC.
bool canonicallyEqualsKey(std::string_view s, std::string_view nfcKey);

struct TransparentStringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
        return std::hash<std::string_view>{}(s);
    }
};

class CanonicalStringSet {
  public:
    CanonicalStringSet() = default;
    template <typename Range>
    explicit CanonicalStringSet(const Range& strings) {
        for (const auto& s : strings)
            insert(s);
    }

    void insert(std::string_view s) { items_.insert(canonicalKey(s)); }
    bool contains(std::string_view s) const;
    bool empty() const { return items_.empty(); }
    std::size_t size() const { return items_.size(); }

  private:
    std::unordered_set<std::string, TransparentStringHash, std::equal_to<>> items_;
};

template <typename Value>
class CanonicalStringMap {
  public:
    // The first value given for a key stays; false when the key was taken.
    bool insert(std::string_view key, Value value) {
        return items_.try_emplace(canonicalKey(key), std::move(value)).second;
    }

    const Value* find(std::string_view key) const {
        if (auto it = items_.find(key); it != items_.end())
            return &it->second;
        if (isCanonicalKey(key))
            return nullptr;
        auto it = items_.find(canonicalKey(key));
        return it != items_.end() ? &it->second : nullptr;
    }

    bool empty() const { return items_.empty(); }
    std::size_t size() const { return items_.size(); }

  private:
    std::unordered_map<std::string, Value, TransparentStringHash, std::equal_to<>> items_;
};

}  // namespace mivo
