#pragma once

// One-line log records; each caller puts its own tag ("[Mivo] ", ...) first.

#include <string_view>

namespace mivo {

class Log {
  public:
    virtual ~Log() = default;
    virtual void write(std::string_view line) = 0;
    // A line that quotes what the user typed (text read from another
    // application's field, terminals and all). The caller says so; a log
    // that keeps lines beyond the session (the system log) never receives
    // it. Logs that keep nothing write it like any other line.
    virtual void writeUserText(std::string_view line) { write(line); }
};

}  // namespace mivo
