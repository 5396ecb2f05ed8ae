#pragma once

#include <string>

namespace mivo::text {

// A fresh random UUID (version 4) in upper-case hyphenated form.
std::string makeUuid();

}  // namespace mivo::text
