#include "correction/textlint/textlint_japanese_bridge.hpp"

#include "correction/rule_pack.hpp"
#include "shared/json.hpp"
#include "shared/resource_bundle.hpp"
#include "shared/text.hpp"

#include <cstdlib>
#include <limits>
#include <system_error>

namespace mivo {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCacheLimit = 128;

struct TextlintResponse {
    std::optional<std::string> id;
    std::optional<std::vector<TextlintMessage>> messages;
    std::optional<std::string> error;
};

// A member that is missing or null counts as absent.
const json::Json* optionalMember(const json::Json& object, std::string_view key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

int64_t rangeOffset(const json::Json& value) {
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            throw json::DecodingError("range: integer out of range");
        return value.get<int64_t>();
    }
    if (!value.is_number_integer())
        throw json::DecodingError("range: expected integers");
    return value.get<int64_t>();
}

TextlintMessage decodeMessage(const json::Json& j) {
    json::requireObject(j, "message");
    TextlintMessage m;
    m.ruleId = json::requireString(j, "ruleId");
    m.message = json::requireString(j, "message");
    m.index = json::requireInteger(j, "index");
    const json::Json& range = json::requireArray(json::member(j, "range"), "range");
    m.range.reserve(range.size());
    for (const json::Json& e : range)
        m.range.push_back(rangeOffset(e));
    return m;
}

// Nothing when the line is not valid UTF-8 or not a response; one bad
// message makes the whole line undecodable.
std::optional<TextlintResponse> decodeResponse(std::string_view line) {
    if (!text::isValidUtf8(line))
        return std::nullopt;
    try {
        const json::Json j = json::parse(line);
        json::requireObject(j, "response");
        TextlintResponse r;
        if (const auto* id = optionalMember(j, "id"))
            r.id = json::asString(*id, "id");
        if (const auto* messages = optionalMember(j, "messages")) {
            json::requireArray(*messages, "messages");
            std::vector<TextlintMessage> decoded;
            decoded.reserve(messages->size());
            for (const json::Json& m : *messages)
                decoded.push_back(decodeMessage(m));
            r.messages = std::move(decoded);
        }
        if (const auto* error = optionalMember(j, "error"))
            r.error = json::asString(*error, "error");
        return r;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// One line of JSON (newlines inside the text are escaped); nothing when the
// text is not valid UTF-8.
std::optional<std::string> encodeRequest(std::string_view id, std::string_view text) {
    try {
        json::Json j = json::Json::object();
        j["id"] = std::string(id);
        j["text"] = std::string(text);
        return j.dump();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool holdsPackage(const fs::path& folder) {
    std::error_code ec;
    return fs::exists(folder / ".textlintrc.json", ec) && fs::exists(folder / "package.json", ec);
}

}  // namespace

TextlintJapaneseBridge& TextlintJapaneseBridge::shared() {
    static TextlintJapaneseBridge bridge([] {
        Settings settings;
        settings.enabled = isEnabled();
        return settings;
    }());
    return bridge;
}

TextlintJapaneseBridge::TextlintJapaneseBridge(Settings settings)
    : settings_(std::move(settings)) {}

TextlintJapaneseBridge::~TextlintJapaneseBridge() = default;

bool TextlintJapaneseBridge::enabledFor(std::optional<std::string_view> variable,
                                        bool runningFromInstalledCopy) {
    if (!variable)
        return !runningFromInstalledCopy;
    std::string value = text::trimWhitespaceAndNewlines(*variable);
    for (char& c : value) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return value == "1" || value == "true" || value == "yes" || value == "on";
}

bool TextlintJapaneseBridge::isEnabled() {
    // On Linux an installed copy plays the part of an application bundle:
    // development runs from the build or source tree get textlint by default.
    static const bool enabled = [] {
        const char* variable = std::getenv("MIVO_TEXTLINT_BRIDGE");
        return enabledFor(variable ? std::optional<std::string_view>(variable) : std::nullopt,
                          runningFromInstalledCopy());
    }();
    return enabled;
}

std::vector<fs::path> TextlintJapaneseBridge::defaultPackageFolders() {
    std::vector<fs::path> folders;
    if (const auto exeDir = executableFolder()) {
        folders.push_back(*exeDir / "textlint");
        folders.push_back(exeDir->parent_path() / "share" / "mivo" / "textlint");
    }
    folders.push_back(sourceResourcesFolder().parent_path() / "tools" / "textlint");
    return folders;
}

std::optional<fs::path> TextlintJapaneseBridge::findPackageRoot(
    const std::vector<fs::path>& candidates) {
    for (const fs::path& folder : candidates) {
        if (holdsPackage(folder))
            return folder;
    }
    return std::nullopt;
}

std::optional<fs::path> TextlintJapaneseBridge::findPackageRoot() {
    return findPackageRoot(defaultPackageFolders());
}

std::optional<TextlintJapaneseBridge::Location> TextlintJapaneseBridge::locate() const {
    if (!settings_.enabled)
        return std::nullopt;
    const auto root =
        settings_.packageFolders ? findPackageRoot(*settings_.packageFolders) : findPackageRoot();
    if (!root)
        return std::nullopt;
    std::error_code ec;
    if (!fs::exists(*root / "node_modules" / ".bin" / "textlint", ec))
        return std::nullopt;
    std::optional<fs::path> script;
    if (settings_.script) {
        if (fs::is_regular_file(*settings_.script, ec))
            script = settings_.script;
    } else {
        script = localCorrectionResources().urlForResource("textlint-bridge", "mjs");
    }
    if (!script)
        return std::nullopt;
    return Location{*root, *script};
}

bool TextlintJapaneseBridge::isAvailable() const {
    return locate().has_value();
}

bool TextlintJapaneseBridge::startIfNeeded(const Location& where, bool& fresh) {
    fresh = false;
    if (process_ && process_->isRunning())
        return true;
    process_.reset();  // a child that has exited was reaped by isRunning()
    process_ = TextlintChildProcess::spawn({"/usr/bin/env", "node", where.script.string()},
                                           where.packageRoot);
    fresh = process_.has_value();
    return fresh;
}

std::optional<std::string> TextlintJapaneseBridge::readLine(
    TextlintChildProcess::Deadline deadline) {
    if (!process_)
        return std::nullopt;
    return process_->readLine(deadline);
}

TextlintJapaneseBridge::Outcome TextlintJapaneseBridge::exchange(
    std::string_view requestLine, std::string_view requestId, std::chrono::milliseconds timeout,
    std::vector<TextlintMessage>& messages) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string bytes(requestLine);
    bytes.push_back('\n');
    const bool written = process_->writeAll(bytes, deadline);
    const auto line = written ? readLine(deadline) : std::nullopt;
    if (!line) {
        // Too slow, too long, or gone: either way this child can no longer
        // be trusted to pair its next line with our next request. Only a
        // child that went away earns the request a second try.
        const bool misbehaved = std::chrono::steady_clock::now() >= deadline ||
                                (process_ && process_->lineWasTooLong());
        process_.reset();
        return misbehaved ? Outcome::failed : Outcome::childGone;
    }
    const auto response = decodeResponse(*line);
    if (!response)
        return Outcome::failed;  // one line per request still holds: keep the child
    if (response->id && *response->id != requestId) {
        // An answer to some other request: never let it land on this
        // sentence, and start over with a child whose lines pair up again.
        process_.reset();
        return Outcome::failed;
    }
    if (response->error)
        return Outcome::failed;
    messages = response->messages.value_or(std::vector<TextlintMessage>{});
    return Outcome::answered;
}

std::vector<TextlintMessage> TextlintJapaneseBridge::lint(std::string_view text) {
    const auto where = locate();
    if (!where)
        return {};

    std::lock_guard guard(lock_);
    if (const auto cached = cache_.find(std::string(text)); cached != cache_.end())
        return cached->second;

    const std::string id = text::makeUuid();
    const auto request = encodeRequest(id, text);
    if (!request)
        return {};

    // A child reused from an earlier request may have exited after the
    // running check; such a child is replaced once and the request sent again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool fresh = false;
        if (!startIfNeeded(*where, fresh))
            return {};
        std::vector<TextlintMessage> messages;
        const auto timeout = fresh ? settings_.firstAnswerTimeout : settings_.answerTimeout;
        switch (exchange(*request, id, timeout, messages)) {
            case Outcome::answered:
                cache_[std::string(text)] = messages;
                if (cache_.size() > kCacheLimit)
                    cache_.clear();
                return messages;
            case Outcome::childGone:
                if (fresh)
                    return {};
                continue;
            case Outcome::failed:
                return {};
        }
    }
    return {};
}

}  // namespace mivo
