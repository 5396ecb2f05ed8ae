#include "platform/linux/system_log.hpp"

#include <syslog.h>

#include <cstdio>
#include <string>

namespace mivo::linux_desktop {

SystemLog::SystemLog() {
    openlog("mivo", LOG_PID, LOG_USER);
}

SystemLog::~SystemLog() {
    closelog();
}

void SystemLog::write(std::string_view line) {
    const std::string text(line);
    std::fprintf(stderr, "%s\n", text.c_str());
    syslog(LOG_INFO, "%s", text.c_str());
}

}  // namespace mivo::linux_desktop
