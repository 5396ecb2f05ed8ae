#pragma once

// Firefox ESR or Chromium showing a local page, with a fresh profile of its
// own, for the browser desktop tests.

#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "platform/accessibility.hpp"

namespace mivo::desktop_test {

enum class BrowserKind { firefox, chromium };

const char* browserName(BrowserKind kind);

// One running browser; stopped when destroyed.
struct Browser {
    QTemporaryDir profile;
    std::unique_ptr<QProcess> process;
    std::string failure;
    bool takesKeys = false;

    Pid pid() const { return process ? static_cast<Pid>(process->processId()) : 0; }

    ~Browser();
};

// Starts the browser on `page` (a file path); `failure` says why it did
// not start.
std::unique_ptr<Browser> launchBrowser(BrowserKind kind, const std::string& page);

}  // namespace mivo::desktop_test
