#pragma once

// Command line of mivo-api-stub.

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

namespace mivo::stub {

struct StubOptions {
    std::string host = "127.0.0.1";
    // 0: any free port, printed on the first line of standard output.
    int port = 8787;
    std::optional<std::string> scriptFile;
    // Where /dev/signin sends the browser; none: the port the sign-in asked for.
    std::optional<int> callbackPort;
    int64_t expiresIn = 3600;
    // What the update feed (/update/feed.json) announces; none: no feed
    // (404).
    std::optional<std::string> updateVersion;
    std::optional<std::string> updateNotesURL;
    // The control routes (/dev/requests, /dev/script, /dev/config) are on
    // only with this: a new file the stand-in creates (0600) holding the
    // secret each control request must present in X-Mivo-Stub-Secret.
    std::optional<std::string> controlSecretFile;
    // Where the account book is kept across runs; none: in memory only.
    // --keep-accounts chooses defaultAccountsFile().
    std::optional<std::string> accountsFile;
    bool keepAccounts = false;
};

// `args` without the program name. A complaint for the user when they do not fit.
std::expected<StubOptions, std::string> parseStubOptions(std::span<const std::string> args);

inline constexpr const char* kStubUsage =
    "usage: mivo-api-stub [--port N] [--script FILE] [--callback-port N] [--expires-in SECONDS]\n"
    "                     [--update-version VERSION] [--update-notes-url URL]\n"
    "                     [--control-secret-file NEW_FILE] [--accounts-file FILE | "
    "--keep-accounts]";

}  // namespace mivo::stub
