#include "account/keychain_store.hpp"

#include <locale.h>
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "account/dev_file_store.hpp"

namespace mivo {

KeychainStore::KeychainStore(std::string service, SecretStore& secrets, Log& log,
                             std::optional<std::filesystem::path> devFile)
    : service_(std::move(service)), secrets_(secrets), log_(log) {
    if (devFile) {
        devFile_ = std::make_unique<DevFileStore>(std::move(*devFile), log_);
        log_.write("[Mivo][Auth] Dev mode detected → using file store at " +
                   devFile_->path().string() + " (no keyring prompt)");
    }
}

KeychainStore::~KeychainStore() = default;

void KeychainStore::whenLoaded(std::function<void()> done) {
    if (!offloaded_)
        return done();
    loadWhenReady(std::move(done));
}

bool KeychainStore::detectDevMode() {
    static const bool devMode = [] {
        const char* flag = std::getenv("MIVO_DEV_AUTH_FILE");
        return flag != nullptr && std::string_view(flag) == "1";
    }();
    return devMode;
}

std::optional<std::filesystem::path> KeychainStore::devFileFromEnvironment() {
    if (!detectDevMode())
        return std::nullopt;
    return DevFileStore::defaultPath();
}

std::optional<std::string> KeychainStore::get(std::string_view key) const {
    if (devFile_)
        return devFile_->get(key);
    if (offloaded_)
        return cachedValue(key);
    return keychainGet(key);
}

void KeychainStore::set(std::string_view key, std::string_view value) {
    if (devFile_)
        return devFile_->set(key, value);
    if (offloaded_)
        return offloadSet(key, value);
    keychainSet(key, value);
}

void KeychainStore::remove(std::string_view key) {
    if (devFile_)
        return devFile_->remove(key);
    if (offloaded_)
        return offloadRemove(key);
    secrets_.remove(service_, key);
}

std::optional<std::string> KeychainStore::keychainGet(std::string_view key) const {
    return secrets_.read(service_, key);
}

void KeychainStore::keychainSet(std::string_view key, std::string_view value) {
    for (const auto& line : storeValue(secrets_, service_, std::string(key), std::string(value)))
        log_.write(line);
}

std::vector<std::string> KeychainStore::storeValue(SecretStore& secrets, const std::string& service,
                                                   const std::string& key,
                                                   const std::string& value) {
    auto updated = secrets.update(service, key, value);
    if (!updated)
        return {"[Mivo][Auth] Secret Service keyring update failed for " + key + ": " +
                describeSecretError(updated.error())};
    if (*updated == SecretUpdate::updated)
        return {};
    if (auto added = secrets.add(service, key, value); !added)
        return {"[Mivo][Auth] Secret Service keyring add failed for " + key + ": " +
                describeSecretError(added.error())};
    return {};
}

std::optional<Date> KeychainStore::loadAccessTokenExpiresAt() const {
    const auto text = get("access_token_expires_at");
    if (!text)
        return std::nullopt;
    const auto secondsSince1970 = parseExpiry(*text);
    if (!secondsSince1970)
        return std::nullopt;
    return instantFromSeconds(*secondsSince1970);
}

// Whole seconds and the fraction go separately: the tick count as one double
// loses the low digits (…0.25 would come back as …0.2499998).
Date KeychainStore::instantFromSeconds(double secondsSince1970) {
    // The clock counts nanoseconds in 64 bits, about 292 years either side of
    // 1970; a value beyond that is held at the edge instead of wrapping.
    constexpr double kEdge = 9.0e9;
    const double clamped = std::clamp(secondsSince1970, -kEdge, kEdge);
    const double whole = std::floor(clamped);
    return Date{} + std::chrono::seconds(static_cast<int64_t>(whole)) +
           std::chrono::round<WallClock::duration>(std::chrono::duration<double>(clamped - whole));
}

double KeychainStore::secondsFromInstant(Date instant) {
    const auto sinceEpoch = instant.time_since_epoch();
    const auto whole = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    return static_cast<double>(whole.count()) +
           std::chrono::duration<double>(sinceEpoch - whole).count();
}

std::optional<double> KeychainStore::parseExpiry(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    switch (text.front()) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
            return std::nullopt;
        default:
            break;
    }
    // strtod in the C locale whatever the process locale is, so "1.5" never
    // depends on the user's decimal comma.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const std::string copy(text);
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, cLocale);
    if (end != copy.c_str() + copy.size())
        return std::nullopt;
    // "nan" and "inf" parse, but no instant lies there: an infinite expiry
    // would never refresh and NaN compares false with everything.
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string KeychainStore::formatExpiry(Date expiry) {
    const double secondsSince1970 = secondsFromInstant(expiry);
    char buffer[400];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, secondsSince1970, std::chars_format::fixed);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    if (text.find('.') == std::string::npos)
        text += ".0";
    return text;
}

}  // namespace mivo
