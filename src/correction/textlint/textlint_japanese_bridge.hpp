#pragma once

// The bridge to an external textlint installation. One child process runs
// the script "textlint-bridge.mjs" of the engine's bundle with node, in the
// textlint package folder; each sentence goes to it as one JSON line
// {"id", "text"} and comes back as one JSON line {"id", "messages"} (or
// {"id", "error"}). Answers are cached per exact sentence text.
//
// The caller (the correction service, on the main thread) waits for every
// uncached answer, so every wait is bounded: a child that does not answer in
// time is killed and reaped, and the next request starts a fresh one.

#include "correction/textlint/textlint_child_process.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mivo {

// One message of textlint.
struct TextlintMessage {
    std::string ruleId;  // "japanese/no-doubled-joshi"
    std::string message;
    int64_t index = 0;
    std::vector<int64_t> range;  // normally [start, end) in UTF-16 code units of the sentence

    bool operator==(const TextlintMessage&) const = default;
};

class TextlintJapaneseBridge {
  public:
    struct Settings {
        bool enabled = false;
        // The node script; unset: "textlint-bridge.mjs" at the top of the
        // engine's bundle, looked up at every request.
        std::optional<std::filesystem::path> script;
        // The folders that may be the textlint package, in order; unset:
        // defaultPackageFolders().
        std::optional<std::vector<std::filesystem::path>> packageFolders;
        // A fresh child loads node, textlint and its dictionaries first.
        std::chrono::milliseconds firstAnswerTimeout{10'000};
        // A warm child answers one sentence in milliseconds.
        std::chrono::milliseconds answerTimeout{3'000};
    };

    // The one bridge of the process: enabled by isEnabled(), script from the
    // engine's bundle, the package in one of defaultPackageFolders().
    static TextlintJapaneseBridge& shared();

    explicit TextlintJapaneseBridge(Settings settings);
    TextlintJapaneseBridge(const TextlintJapaneseBridge&) = delete;
    TextlintJapaneseBridge& operator=(const TextlintJapaneseBridge&) = delete;
    ~TextlintJapaneseBridge();

    // The messages for one sentence; empty on every failure. Any thread;
    // whole exchanges are serialised.
    std::vector<TextlintMessage> lint(std::string_view text);

    // MIVO_TEXTLINT_BRIDGE, read once per process: trimmed and lowercased
    // "1", "true", "yes" or "on" turns the bridge on, any other value off;
    // unset, it is on in a build or source tree and off in an installed copy.
    static bool isEnabled();
    // The decision behind isEnabled(), for a given value of the variable
    // (nothing: unset).
    static bool enabledFor(std::optional<std::string_view> variable, bool runningFromInstalledCopy);

    // Enabled, a package folder with "node_modules/.bin/textlint" found, and
    // the script present. Evaluated at every call.
    bool isAvailable() const;

    // Where Mivo's own textlint package may stand, in order: "textlint"
    // beside the executable, "textlint" in the install's share/mivo folder,
    // and tools/textlint of the source tree the build came from. Never the
    // working folder or its ancestors: node must not run in whatever folder
    // Mivo happens to be started from.
    static std::vector<std::filesystem::path> defaultPackageFolders();
    // The first of `candidates` that holds ".textlintrc.json" and
    // "package.json"; nothing when none does.
    static std::optional<std::filesystem::path> findPackageRoot(
        const std::vector<std::filesystem::path>& candidates);
    // The same over defaultPackageFolders().
    static std::optional<std::filesystem::path> findPackageRoot();

  private:
    struct Location {
        std::filesystem::path packageRoot;
        std::filesystem::path script;
    };
    enum class Outcome { answered, failed, childGone };

    std::optional<Location> locate() const;
    // A running child; `fresh` tells whether it was started just now.
    bool startIfNeeded(const Location& where, bool& fresh);
    Outcome exchange(std::string_view requestLine, std::string_view requestId,
                     std::chrono::milliseconds timeout, std::vector<TextlintMessage>& messages);
    std::optional<std::string> readLine(TextlintChildProcess::Deadline deadline);

    Settings settings_;
    std::mutex lock_;
    std::optional<TextlintChildProcess> process_;
    std::unordered_map<std::string, std::vector<TextlintMessage>> cache_;
};

}  // namespace mivo
