#pragma once

// Firefox ESR or Chromium showing a local page, with a fresh profile of its
// own, for the browser desktop tests.

#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

// The browser of `kind` on `page` for the whole process (they start
// slowly): started on first use, stopped after the last test, before the
// session's bus and window manager go.
Browser& sharedBrowser(BrowserKind kind, const std::string& page);
// Stops it, so that the next use starts it afresh.
void stopSharedBrowser(BrowserKind kind, const std::string& page);

// The field labelled `label` in the page the browser of `pid` shows, or
// inside `within`.
std::optional<AXElement> pageField(Accessibility& ax, Pid pid, std::string_view label);
std::optional<AXElement> labelledInside(Accessibility& ax, const AXElement& within,
                                        std::string_view label);

}  // namespace mivo::desktop_test
