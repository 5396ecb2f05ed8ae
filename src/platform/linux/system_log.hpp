#pragma once

// The production log: every line to standard error and to the system log.

#include "platform/log.hpp"

namespace mivo::linux_desktop {

class SystemLog : public Log {
  public:
    SystemLog();
    ~SystemLog() override;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    void write(std::string_view line) override;
};

}  // namespace mivo::linux_desktop
