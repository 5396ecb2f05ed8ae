#pragma once

// The production log: every line to standard error and to the system log.
// Lines that quote what the user typed go nowhere, unless a developer asks
// for them (MIVO_LOG_TYPED_TEXT=1); even then only to standard error, never
// to the system-wide journal. Desktop sessions send standard error to the
// user's journal too, so by default typed text must not reach it either.

#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/log.hpp"

namespace mivo::linux_desktop {

// Whether MIVO_LOG_TYPED_TEXT's value ("1", "true", "yes", "on") asks for
// typed text on standard error; unset or anything else does not.
bool typedTextLoggingRequested(std::optional<std::string_view> value);

class SystemLog final : public Log {
  public:
    // Lines for the system log go to syslog(3); typed text as
    // MIVO_LOG_TYPED_TEXT says.
    SystemLog();
    // For tests: where standard error's copy and the system log's go, and
    // whether typed text is written at all.
    SystemLog(std::FILE* standardError, std::function<void(std::string_view)> systemLog,
              bool writesTypedText);
    ~SystemLog() override;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    void write(std::string_view line) override;
    void writeUserText(std::string_view line) override;

  private:
    void toStandardError(std::string_view line);

    std::FILE* standardError_;
    std::function<void(std::string_view)> systemLog_;
    bool writesTypedText_ = false;
    bool ownsSyslog_ = false;
};

}  // namespace mivo::linux_desktop
