#include "account_book.hpp"

#include "shared/text.hpp"

namespace mivo::stub {

namespace {

std::string token(std::string_view kind) {
    return std::string(kind) + "-" + text::makeUuid();
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
    grants_[grant.grant] = it->second.deviceNonce;
    pending_.erase(it);
    return grant;
}

Tokens AccountBook::issue() {
    Tokens t{token("access"), token("refresh"), expiresIn_};
    sessions_[t.accessToken] = {t.refreshToken, Clock::now() + std::chrono::seconds(expiresIn_)};
    refreshTokens_[t.refreshToken] = t.accessToken;
    return t;
}

std::expected<Tokens, std::string> AccountBook::exchange(const std::string& grant,
                                                         const std::string& deviceNonce) {
    std::lock_guard lock(mutex_);
    auto it = grants_.find(grant);
    if (it == grants_.end())
        return std::unexpected("invalid_grant");
    if (it->second != deviceNonce)
        return std::unexpected("nonce_mismatch");
    grants_.erase(it);
    return issue();
}

std::optional<Tokens> AccountBook::refresh(const std::string& refreshToken) {
    std::lock_guard lock(mutex_);
    auto it = refreshTokens_.find(refreshToken);
    if (it == refreshTokens_.end())
        return std::nullopt;
    // Rotation: the old pair is spent the moment the new one exists.
    sessions_.erase(it->second);
    refreshTokens_.erase(it);
    return issue();
}

void AccountBook::logout(const std::string& accessToken) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(accessToken);
    if (it == sessions_.end())
        return;
    refreshTokens_.erase(it->second.refreshToken);
    sessions_.erase(it);
}

std::optional<User> AccountBook::userFor(const std::string& accessToken) const {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(accessToken);
    if (it == sessions_.end() || Clock::now() >= it->second.expiresAt)
        return std::nullopt;
    return demoUser();
}

}  // namespace mivo::stub
