#pragma once

#include <string>

namespace mivo::text {

// A fresh random UUID (version 4) in upper-case hyphenated form, from the
// kernel's generator: fit for ids that must not be guessed.
std::string makeUuid();

}  // namespace mivo::text
