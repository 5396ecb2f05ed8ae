#include "account_book.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "shared/text.hpp"
#include "token_digest.hpp"

namespace mivo::stub {

namespace {

std::string token(std::string_view kind) {
    return std::string(kind) + "-" + text::makeUuid();
}

bool isDigest(const nlohmann::json& value) {
    if (!value.is_string())
        return false;
    const auto& text = value.get_ref<const std::string&>();
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

void AccountBook::setExpiresIn(int64_t seconds) {
    std::lock_guard lock(mutex_);
    expiresIn_ = seconds;
}

int64_t AccountBook::expiresIn() const {
    std::lock_guard lock(mutex_);
    return expiresIn_;
}

User AccountBook::demoUser() {
    return {"stub-user-1", "dev@mivo.test"};
}

std::string AccountBook::start(const std::string& deviceNonce, int callbackPort) {
    std::lock_guard lock(mutex_);
    std::string requestId = token("req");
    pending_[requestId] = {deviceNonce, callbackPort};
    return requestId;
}

std::optional<Grant> AccountBook::approve(const std::string& requestId) {
    std::lock_guard lock(mutex_);
    auto it = pending_.find(requestId);
    if (it == pending_.end())
        return std::nullopt;
    Grant grant{token("grant"), it->second.callbackPort};
    grants_[tokenDigest(grant.grant)] = it->second.deviceNonce;
    pending_.erase(it);
    return grant;
}

Tokens AccountBook::issue() {
    Tokens t{token("access"), token("refresh"), expiresIn_};
    const std::string access = tokenDigest(t.accessToken);
    const std::string refresh = tokenDigest(t.refreshToken);
    sessions_[access] = {refresh, Clock::now() + std::chrono::seconds(expiresIn_), nextSerial_++};
    refreshTokens_[refresh] = access;
    while (sessions_.size() > kMaxSessions) {
        auto oldest = sessions_.begin();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
            if (it->second.serial < oldest->second.serial)
                oldest = it;
        }
        refreshTokens_.erase(oldest->second.refreshDigest);
        sessions_.erase(oldest);
    }
    return t;
}

std::expected<Tokens, std::string> AccountBook::exchange(const std::string& grant,
                                                         const std::string& deviceNonce) {
    std::lock_guard lock(mutex_);
    auto it = grants_.find(tokenDigest(grant));
    if (it == grants_.end())
        return std::unexpected("invalid_grant");
    if (it->second != deviceNonce)
        return std::unexpected("nonce_mismatch");
    grants_.erase(it);
    Tokens tokens = issue();
    changed();
    return tokens;
}

std::optional<Tokens> AccountBook::refresh(const std::string& refreshToken) {
    std::lock_guard lock(mutex_);
    auto it = refreshTokens_.find(tokenDigest(refreshToken));
    if (it == refreshTokens_.end())
        return std::nullopt;
    // Rotation: the old pair is spent the moment the new one exists.
    sessions_.erase(it->second);
    refreshTokens_.erase(it);
    Tokens tokens = issue();
    changed();
    return tokens;
}

void AccountBook::logout(const std::string& accessToken) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(tokenDigest(accessToken));
    if (it == sessions_.end())
        return;
    refreshTokens_.erase(it->second.refreshDigest);
    sessions_.erase(it);
    changed();
}

std::optional<User> AccountBook::userFor(const std::string& accessToken) const {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(tokenDigest(accessToken));
    if (it == sessions_.end() || Clock::now() >= it->second.expiresAt)
        return std::nullopt;
    return demoUser();
}

std::string AccountBook::bookJson() const {
    std::lock_guard lock(mutex_);
    return bookJsonLocked();
}

std::string AccountBook::bookJsonLocked() const {
    nlohmann::json sessions = nlohmann::json::array();
    for (const auto& [access, session] : sessions_) {
        sessions.push_back({{"access_sha256", access},
                            {"refresh_sha256", session.refreshDigest},
                            {"expires_at", std::chrono::duration_cast<std::chrono::seconds>(
                                               session.expiresAt.time_since_epoch())
                                               .count()},
                            {"serial", session.serial}});
    }
    return nlohmann::json{{"sessions", sessions}}.dump();
}

std::optional<std::string> AccountBook::loadBook(std::string_view document) {
    const auto book = nlohmann::json::parse(document, nullptr, false);
    if (!book.is_object() || !book.contains("sessions") || !book["sessions"].is_array())
        return "not an account book";
    std::map<std::string, Session> sessions;
    std::map<std::string, std::string> refreshTokens;
    uint64_t nextSerial = 0;
    for (const auto& s : book["sessions"]) {
        if (!s.is_object() || !isDigest(s.value("access_sha256", nlohmann::json())) ||
            !isDigest(s.value("refresh_sha256", nlohmann::json())) ||
            !s.value("expires_at", nlohmann::json()).is_number_integer() ||
            s["expires_at"].get<int64_t>() < 0 ||
            s["expires_at"].get<int64_t>() > (int64_t{1} << 34) ||
            !s.value("serial", nlohmann::json()).is_number_unsigned())
            return "a session of the account book is malformed";
        const std::string access = s["access_sha256"];
        const std::string refresh = s["refresh_sha256"];
        const auto serial = s["serial"].get<uint64_t>();
        sessions[access] = {refresh,
                            Clock::time_point(std::chrono::seconds(s["expires_at"].get<int64_t>())),
                            serial};
        refreshTokens[refresh] = access;
        nextSerial = std::max(nextSerial, serial + 1);
    }
    std::lock_guard lock(mutex_);
    sessions_ = std::move(sessions);
    refreshTokens_ = std::move(refreshTokens);
    nextSerial_ = nextSerial;
    return std::nullopt;
}

void AccountBook::onBookChanged(std::function<void(const std::string&)> persist) {
    std::lock_guard lock(mutex_);
    persist_ = std::move(persist);
}

// Under the lock: the writes keep the order of the changes.
void AccountBook::changed() {
    if (persist_)
        persist_(bookJsonLocked());
}

}  // namespace mivo::stub
