#pragma once

// What kind of application a text comes from, by its identifier: the macOS
// bundle identifiers the service knows, and beside them the Linux desktop-file
// ids and window classes of the same kinds of application. Code editors and
// terminals are never rewritten.

#include <optional>
#include <string_view>

namespace mivo::SurfaceTagResolver {

enum class SurfaceTag {
    emailClient,
    wordProcessor,
    chatMessaging,
    notesPersonal,
    codeOrTerminal,
    unknown,
};

// "email_client", "word_processor", "chat_messaging", "notes_personal",
// "code_or_terminal", "unknown".
std::string_view rawValue(SurfaceTag tag);
std::optional<SurfaceTag> surfaceTagFromRaw(std::string_view raw);

// Exact, case-sensitive lookups first (nothing trimmed), then the prefixes
// ("com.jetbrains.", and "jetbrains-" for the IDEs' Linux window classes);
// anything else, browsers included, is `unknown`.
SurfaceTag resolve(std::optional<std::string_view> bundleIdentifier);

}  // namespace mivo::SurfaceTagResolver
