#pragma once

// One-line log records; each caller puts its own tag ("[Mivo] ", ...) first.

#include <string_view>

namespace mivo {

class Log {
  public:
    virtual ~Log() = default;
    virtual void write(std::string_view line) = 0;
};

}  // namespace mivo
