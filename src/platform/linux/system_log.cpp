#include "platform/linux/system_log.hpp"

#include <syslog.h>

#include <string>
#include <utility>

namespace mivo::linux_desktop {

SystemLog::SystemLog()
    : standardError_(stderr),
      systemLog_([](std::string_view line) {
          syslog(LOG_INFO, "%.*s", static_cast<int>(line.size()), line.data());
      }),
      ownsSyslog_(true) {
    openlog("mivo", LOG_PID, LOG_USER);
}

SystemLog::SystemLog(std::FILE* standardError, std::function<void(std::string_view)> systemLog)
    : standardError_(standardError), systemLog_(std::move(systemLog)) {}

SystemLog::~SystemLog() {
    if (ownsSyslog_)
        closelog();
}

void SystemLog::write(std::string_view line) {
    writeUserText(line);
    if (systemLog_)
        systemLog_(line);
}

void SystemLog::writeUserText(std::string_view line) {
    if (standardError_ != nullptr)
        std::fprintf(standardError_, "%.*s\n", static_cast<int>(line.size()), line.data());
}

}  // namespace mivo::linux_desktop
