#pragma once

// The applications the apps desktop tests drive, each started with a
// private profile and its text: Writer opens a paragraph with a bold run,
// Thunderbird a local identity that composes HTML, KWrite a file.

#include <memory>
#include <string>

#include "desktop_apps.hpp"

namespace mivo::desktop_test {

enum class AppKind { writer, thunderbird, textEditor, kwrite };

const char* appName(AppKind kind);

// Starts the application; KWrite opens a file holding `text`.
std::unique_ptr<RunningApplication> launch(AppKind kind, const std::string& text);

}  // namespace mivo::desktop_test
