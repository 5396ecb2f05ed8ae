#pragma once

// The production log: every line to standard error, and to the system log
// unless the caller marks it as quoting the user's text (what the user
// types must not outlive the session in a system-wide journal).

#include <cstdio>
#include <functional>
#include <string_view>

#include "platform/log.hpp"

namespace mivo::linux_desktop {

class SystemLog final : public Log {
  public:
    // Lines for the system log go to syslog(3).
    SystemLog();
    // For tests: where standard error's copy and the system log's go.
    SystemLog(std::FILE* standardError, std::function<void(std::string_view)> systemLog);
    ~SystemLog() override;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    void write(std::string_view line) override;
    void writeUserText(std::string_view line) override;

  private:
    std::FILE* standardError_;
    std::function<void(std::string_view)> systemLog_;
    bool ownsSyslog_ = false;
};

}  // namespace mivo::linux_desktop
