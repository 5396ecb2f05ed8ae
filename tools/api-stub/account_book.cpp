#include "account_book.hpp"

#include "bounded_json.hpp"

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

std::expected<std::string, std::string> AccountBook::start(const std::string& deviceNonce,
                                                           int callbackPort) {
    std::lock_guard lock(mutex_);
    dropExpiredSignIns();
    if (pending_.size() >= kMaxPendingSignIns)
        return std::unexpected(kTooManySignIns);
    std::string requestId = token("req");
    pending_[requestId] = {deviceNonce, callbackPort, now_(), {}};
    return requestId;
}

std::optional<Grant> AccountBook::approve(const std::string& requestId) {
    std::lock_guard lock(mutex_);
    dropExpiredSignIns();
    auto it = pending_.find(requestId);
    if (it == pending_.end())
        return std::nullopt;
    if (it->second.grant.empty()) {
        it->second.grant = token("grant");
        grants_[tokenDigest(it->second.grant)] = requestId;
    }
    return Grant{it->second.grant, it->second.callbackPort};
}

void AccountBook::dropExpiredSignIns() {
    const auto now = now_();
    std::erase_if(pending_, [&](const auto& entry) {
        if (now < entry.second.startedAt + kSignInLifetime)
            return false;
        if (!entry.second.grant.empty())
            grants_.erase(tokenDigest(entry.second.grant));
        return true;
    });
}

bool AccountBook::renewable(const Session& session) const {
    return now_() < session.expiresAt + kRefreshLifetime;
}

void AccountBook::erase(Sessions::iterator session) {
    refreshTokens_.erase(session->second.refreshDigest);
    if (!session->second.replacedDigest.empty())
        replacedTokens_.erase(session->second.replacedDigest);
    sessions_.erase(session);
}

bool AccountBook::dropDeadSessions() {
    bool dropped = false;
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const auto next = std::next(it);
        if (!renewable(it->second)) {
            erase(it);
            dropped = true;
        }
        it = next;
    }
    return dropped;
}

Tokens AccountBook::issue(const std::string& replaced) {
    Tokens t{token("access"), token("refresh"), expiresIn_};
    const std::string access = tokenDigest(t.accessToken);
    const std::string refresh = tokenDigest(t.refreshToken);
    const auto now = now_();
    Session& session = sessions_[access];
    session = {refresh, now + std::chrono::seconds(expiresIn_), nextSerial_++, {}, {}};
    refreshTokens_[refresh] = access;
    if (!replaced.empty()) {
        session.replacedDigest = replaced;
        session.replacedUntil = now + kReuseGrace;
        replacedTokens_[replaced] = access;
    }
    return t;
}

std::expected<Tokens, std::string> AccountBook::exchange(const std::string& grant,
                                                         const std::string& deviceNonce) {
    std::lock_guard lock(mutex_);
    dropExpiredSignIns();
    auto it = grants_.find(tokenDigest(grant));
    if (it == grants_.end())
        return std::unexpected("invalid_grant");
    const auto signIn = pending_.find(it->second);
    if (signIn->second.deviceNonce != deviceNonce)
        return std::unexpected("nonce_mismatch");
    // A live session is never pushed out: the newcomer waits.
    const bool dropped = dropDeadSessions();
    if (sessions_.size() >= kMaxSessions) {
        if (dropped)
            changed();
        return std::unexpected(kTooManySessions);
    }
    grants_.erase(it);
    pending_.erase(signIn);
    Tokens tokens = issue();
    changed();
    return tokens;
}

std::expected<Tokens, std::string> AccountBook::refresh(const std::string& refreshToken,
                                                        Clock::time_point receivedAt) {
    std::lock_guard lock(mutex_);
    if (now_() - receivedAt > kClientPatience)
        return std::unexpected(kTooLate);
    const std::string digest = tokenDigest(refreshToken);
    if (auto it = refreshTokens_.find(digest); it != refreshTokens_.end()) {
        const auto session = sessions_.find(it->second);
        // A book written by hand may name one session twice.
        if (session == sessions_.end()) {
            refreshTokens_.erase(it);
            return std::unexpected(kInvalidRefreshToken);
        }
        if (!renewable(session->second)) {
            // Not written out: the book read back refuses it just the same,
            // and a loop of such refreshes must not keep the disk busy.
            erase(session);
            return std::unexpected(kInvalidRefreshToken);
        }
        // Rotation: the old pair is spent the moment the new one exists.
        erase(session);
        Tokens tokens = issue(digest);
        changed();
        return tokens;
    }
    // The answer of the refresh that replaced this token was lost: its
    // tokens never reached the client, so they go, and the old token is
    // spent for good.
    const auto replaced = replacedTokens_.find(digest);
    if (replaced == replacedTokens_.end())
        return std::unexpected(kInvalidRefreshToken);
    const auto successor = sessions_.find(replaced->second);
    if (successor == sessions_.end() || now_() >= successor->second.replacedUntil ||
        !renewable(successor->second))
        return std::unexpected(kInvalidRefreshToken);
    erase(successor);
    Tokens tokens = issue();
    changed();
    return tokens;
}

void AccountBook::logout(const std::string& accessToken) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(tokenDigest(accessToken));
    if (it == sessions_.end())
        return;
    erase(it);
    changed();
}

std::optional<User> AccountBook::userFor(const std::string& accessToken) const {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(tokenDigest(accessToken));
    if (it == sessions_.end() || now_() >= it->second.expiresAt)
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
    const auto book = parseBoundedJson(document);
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
        if (sessions.size() >= kMaxSessions)
            return "the account book holds too many sessions";
        const std::string access = s["access_sha256"];
        const std::string refresh = s["refresh_sha256"];
        const auto serial = s["serial"].get<uint64_t>();
        sessions[access] = {refresh,
                            Clock::time_point(std::chrono::seconds(s["expires_at"].get<int64_t>())),
                            serial,
                            {},
                            {}};
        refreshTokens[refresh] = access;
        nextSerial = std::max(nextSerial, serial + 1);
    }
    std::lock_guard lock(mutex_);
    sessions_ = std::move(sessions);
    refreshTokens_ = std::move(refreshTokens);
    replacedTokens_.clear();
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
