#include "platform/linux/system_log.hpp"

#include <syslog.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace mivo::linux_desktop {

bool typedTextLoggingRequested(std::optional<std::string_view> value) {
    return value == "1" || value == "true" || value == "yes" || value == "on";
}

namespace {

std::optional<std::string_view> typedTextVariable() {
    const char* value = std::getenv("MIVO_LOG_TYPED_TEXT");
    return value != nullptr ? std::optional<std::string_view>(value) : std::nullopt;
}

}  // namespace

SystemLog::SystemLog()
    : standardError_(stderr),
      systemLog_([](std::string_view line) {
          syslog(LOG_INFO, "%.*s", static_cast<int>(line.size()), line.data());
      }),
      writesTypedText_(typedTextLoggingRequested(typedTextVariable())),
      ownsSyslog_(true) {
    openlog("mivo", LOG_PID, LOG_USER);
}

SystemLog::SystemLog(std::FILE* standardError, std::function<void(std::string_view)> systemLog,
                     bool writesTypedText)
    : standardError_(standardError),
      systemLog_(std::move(systemLog)),
      writesTypedText_(writesTypedText) {}

SystemLog::~SystemLog() {
    if (ownsSyslog_)
        closelog();
}

void SystemLog::write(std::string_view line) {
    toStandardError(line);
    if (systemLog_)
        systemLog_(line);
}

void SystemLog::writeUserText(std::string_view line) {
    if (writesTypedText_)
        toStandardError(line);
}

void SystemLog::toStandardError(std::string_view line) {
    if (standardError_ != nullptr)
        std::fprintf(standardError_, "%.*s\n", static_cast<int>(line.size()), line.data());
}

}  // namespace mivo::linux_desktop
