#pragma once

#include <cstddef>

namespace mivo {

// A half-open range of UTF-8 byte offsets into a string the caller holds.
struct ByteRange {
    std::size_t start = 0;
    std::size_t end = 0;

    std::size_t length() const { return end - start; }
    bool operator==(const ByteRange&) const = default;
};

}  // namespace mivo
