#include "platform/json_file_user_defaults.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <system_error>

#include "platform/private_file.hpp"

namespace mivo {
namespace {

using Json = nlohmann::json;
using Values = std::map<std::string, DefaultsValue, std::less<>>;

constexpr std::string_view kTag = "[Mivo][Settings] ";
constexpr std::string_view kDataKey = "data";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        uint32_t chunk = 0;
        for (std::size_t k = 0; k < 3; ++k)
            chunk = chunk << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kAlphabet[chunk >> (18 - 6 * k) & 0x3f] : '=';
    }
    return out;
}

// Strict: the standard alphabet, padded to whole quadruples.
std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        uint32_t chunk = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            uint32_t value = 0;
            if (c == '=') {
                // Padding only in the last quadruple, only at its end.
                if (i + 4 != text.size() || k < 2)
                    return std::nullopt;
                ++padding;
            } else {
                if (padding > 0)
                    return std::nullopt;
                const char* found = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
                if (found == nullptr)
                    return std::nullopt;
                value = static_cast<uint32_t>(found - kAlphabet);
            }
            chunk = chunk << 6 | value;
        }
        for (int k = 0; k < 3 - padding; ++k)
            out += static_cast<char>(chunk >> (16 - 8 * k) & 0xff);
    }
    return out;
}

Json toJsonValue(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, DefaultsData>)
                return Json{{std::string(kDataKey), base64Encode(v.bytes)}};
            else
                return Json(v);
        },
        value);
}

std::optional<DefaultsValue> fromJsonValue(const Json& j) {
    switch (j.type()) {
        case Json::value_t::boolean:
            return j.get<bool>();
        case Json::value_t::number_integer:
            return j.get<std::int64_t>();
        case Json::value_t::number_unsigned: {
            const auto u = j.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return static_cast<double>(u);
            return static_cast<std::int64_t>(u);
        }
        case Json::value_t::number_float:
            return j.get<double>();
        case Json::value_t::string:
            return j.get<std::string>();
        case Json::value_t::object: {
            if (j.size() != 1 || !j.contains(kDataKey) || !j.at(kDataKey).is_string())
                return std::nullopt;
            auto bytes = base64Decode(j.at(kDataKey).get_ref<const std::string&>());
            if (!bytes)
                return std::nullopt;
            return DefaultsData{std::move(*bytes)};
        }
        default:
            return std::nullopt;
    }
}

std::string errnoText(int error) {
    return std::generic_category().message(error);
}

}  // namespace

std::string encodeDefaultsFile(const Values& values) {
    Json object = Json::object();
    for (const auto& [key, value] : values)
        object[key] = toJsonValue(value);
    // Texts that are not valid UTF-8 are written with replacement
    // characters rather than losing the whole file.
    return object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<Values> decodeDefaultsFile(std::string_view text) {
    const Json parsed = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object())
        return std::nullopt;
    Values values;
    for (const auto& [key, value] : parsed.items()) {
        if (auto v = fromJsonValue(value))
            values.emplace(key, std::move(*v));
    }
    return values;
}

JsonFileUserDefaults::JsonFileUserDefaults(std::filesystem::path path, Log& log)
    : path_(std::move(path)), log_(log) {
    load();
}

std::filesystem::path JsonFileUserDefaults::defaultPath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const auto home = homeFolder())
        base = *home / ".config";
    else
        return {};
    return base / "Mivo" / "defaults.json";
}

std::optional<DefaultsValue> JsonFileUserDefaults::object(std::string_view key) const {
    const auto found = values_.find(key);
    if (found == values_.end())
        return std::nullopt;
    return found->second;
}

void JsonFileUserDefaults::set(std::string_view key, DefaultsValue value) {
    values_.insert_or_assign(std::string(key), std::move(value));
    save();
}

void JsonFileUserDefaults::remove(std::string_view key) {
    const auto found = values_.find(key);
    if (found == values_.end())
        return;
    values_.erase(found);
    save();
}

void JsonFileUserDefaults::load() {
    using Outcome = PrivateFileRead::Outcome;
    if (path_.empty()) {
        refusal_ = "no home folder is known";
        log_.write(std::string(kTag) + "defaults: " + refusal_ +
                   "; settings last until Mivo quits");
        return;
    }
    if (auto foreign = foreignFolderReason(path_.parent_path())) {
        refusal_ = *foreign;
        log_.write(std::string(kTag) + "defaults: not using " + path_.string() + ": " + refusal_ +
                   "; settings last until Mivo quits");
        return;
    }
    // A link that a dotfiles manager made is followed to the user's own
    // file; any other link is kept aside like any other stranger.
    const auto where = followOwnLinks(path_);
    const std::filesystem::path target = where.value_or(path_);
    PrivateFileRead file;
    if (where) {
        file = readPrivateFile(target, kMaxFileBytes);
    } else {
        file.outcome = Outcome::notRegular;
        file.reason = where.error();
    }
    switch (file.outcome) {
        case Outcome::missing:  // the first launch
            return;
        case Outcome::unreadable:
            // The user's settings are in there: leave the file as it is and
            // write nothing over it.
            refusal_ = path_.string() + " cannot be read (" + file.reason + ")";
            log_.write(std::string(kTag) + "defaults: cannot read " + path_.string() + ": " +
                       file.reason + "; using defaults and leaving the file untouched");
            return;
        case Outcome::read:
            if (auto values = decodeDefaultsFile(file.bytes)) {
                values_ = std::move(*values);
                return;
            }
            break;
        case Outcome::notRegular:
        case Outcome::tooLarge:
            break;
    }
    // What a followed link leads to is kept aside in its own folder, so
    // that the link stays and the next save writes a fresh file through it.
    const std::string what = file.outcome == Outcome::read
                                 ? " does not parse"
                                 : " is " + file.reason + ", not a settings file";
    const std::string named =
        target == path_ ? path_.string() : path_.string() + " (linked to " + target.string() + ")";
    std::filesystem::path aside = target;
    aside += ".broken";
    if (auto error = setAsideAsBroken(target)) {
        // Whatever it is, it stays where it is; nothing is written over it.
        refusal_ = path_.string() + what;
        log_.write(std::string(kTag) + "defaults: " + named + what +
                   " (could not keep it aside: " + *error + "); using defaults");
        return;
    }
    log_.write(std::string(kTag) + "defaults: " + named + what + "; kept aside as " +
               aside.string() + "; using defaults");
}

void JsonFileUserDefaults::save() {
    if (!refusal_.empty())
        return notSaved(std::string(kTag) + "defaults: not saved, because " + refusal_, refusal_);
    const std::filesystem::path folder = path_.parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::exists(folder, error)) {
        std::filesystem::create_directories(folder.parent_path(), error);
        // The folder holds nothing for anyone else.
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            const std::string reason = errnoText(errno);
            return notSaved(
                std::string(kTag) + "defaults: cannot create " + folder.string() + ": " + reason,
                reason);
        }
    }
    if (auto foreign = foreignFolderReason(folder))
        return notSaved(std::string(kTag) + "defaults: not saved, because " + *foreign, *foreign);
    // Through the user's own link, the file it leads to is replaced in its
    // own folder (a rename works only within one file system), and the link
    // stays. The link is looked at again: it may have changed since start.
    const auto where = followOwnLinks(path_);
    if (!where) {
        const std::string reason = path_.string() + " is " + where.error();
        return notSaved(std::string(kTag) + "defaults: not saved, because " + reason, reason);
    }
    const std::filesystem::path& target = *where;
    std::string temp = target.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());  // mode 0600
    if (fd < 0) {
        const std::string reason = errnoText(errno);
        return notSaved(
            std::string(kTag) + "defaults: cannot write " + path_.string() + ": " + reason, reason);
    }
    const std::string text = encodeDefaultsFile(values_);
    std::size_t written = 0;
    int failure = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failure = errno;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temp.c_str());
        const std::string reason = errnoText(failure);
        notSaved(std::string(kTag) + "defaults: cannot write " + path_.string() + ": " + reason,
                 reason);
    }
}

void JsonFileUserDefaults::notSaved(const std::string& line, const std::string& reason) {
    log_.write(line);
    if (toldNotSaved_ || !onNotSaved)
        return;
    toldNotSaved_ = true;
    onNotSaved(path_.parent_path(), reason);
}

}  // namespace mivo
