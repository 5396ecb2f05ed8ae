// The token store's Secret Service calls off the main loop: one worker
// thread, a bound on every call, the session's values in memory.

#include <atomic>
#include <map>
#include <set>
#include <span>
#include <utility>

#include "account/dev_file_store.hpp"
#include "account/keychain_store.hpp"
#include "account/serial_worker.hpp"

namespace mivo {

struct KeychainStore::Offloaded {
    Offloaded(Offload o, std::shared_ptr<SecretStore> s)
        : offload(std::move(o)), secrets(std::move(s)) {}

    Offload offload;
    std::shared_ptr<SecretStore> secrets;
    SerialWorker worker;
    enum class Load { notStarted, running, done };
    Load load = Load::notStarted;
    std::vector<std::function<void()>> loadWaiters;
    Cancel loadBound;
    std::map<std::string, std::string, std::less<>> values;
    // Keys set or removed while the first read was under way: newer than
    // what it brings.
    std::set<std::string, std::less<>> touched;
    // The service is asking the user something (a new keyring's password,
    // an unlock): its calls wait for the answer, however long the user
    // takes, and the bounds count again only from when it is over.
    bool prompting = false;
    TimePoint promptEnded{};
    // The service failed or did not answer in time: nothing more goes there.
    bool givenUp = false;
    // The same, as the worker sees it: set by the worker at a failure and by
    // the loop when it gives up.
    std::shared_ptr<std::atomic<bool>> stopped = std::make_shared<std::atomic<bool>>(false);
    bool told = false;
    std::size_t underWay = 0;
    // The keyring was locked at the first read and stays so, as far as the
    // last look at it knows.
    bool locked = false;
    Cancel unlockWatch;
};

namespace {

struct SessionRead {
    std::map<std::string, std::string, std::less<>> values;
    bool locked = false;
};

// The session's values, stopping at the first that a locked keyring kept
// back: each further read would show its unlock prompt again.
SessionRead readSession(SecretStore& secrets, const std::string& service,
                        std::span<const char* const> keys) {
    SessionRead read;
    for (const char* key : keys) {
        if (auto value = secrets.read(service, key))
            read.values.emplace(key, std::move(*value));
        else if (secrets.isLocked())
            return {{}, true};
    }
    return read;
}

constexpr const char* kLockedLine =
    "[Mivo][Auth] the Secret Service keyring is locked: the sign-in stays kept in it and comes "
    "back once the keyring is unlocked (or at the next start)";

}  // namespace

KeychainStore::KeychainStore(std::string service, std::shared_ptr<SecretStore> secrets, Log& log,
                             Offload offload)
    : service_(std::move(service)),
      secrets_(*secrets),
      log_(log),
      offloaded_(std::make_shared<Offloaded>(std::move(offload), std::move(secrets))) {
    std::weak_ptr<Offloaded> weak = offloaded_;
    offloaded_->secrets->setPromptListener([weak, post = offloaded_->offload.post](bool shown) {
        post([weak, shown] {
            auto o = weak.lock();
            if (!o)
                return;
            o->prompting = shown;
            if (!shown)
                o->promptEnded = o->offload.scheduler->now();
        });
    });
}

// Runs `expired` once `boundSeconds` pass with no prompt of the service open
// and none closed within that time: a prompt open when the bound comes
// pushes it back, so the user's answer is waited for, not given up on.
Cancel KeychainStore::boundOutsidePrompts(std::function<void()> expired) {
    struct Bound {
        std::function<void()> expired;
        std::function<void(double)> arm;
        Cancel timer;
    };
    auto bound = std::make_shared<Bound>();
    bound->expired = std::move(expired);
    const std::weak_ptr<Offloaded> weak = offloaded_;
    const std::weak_ptr<Bound> weakBound = bound;
    bound->arm = [weak, weakBound](double wait) {
        auto o = weak.lock();
        auto b = weakBound.lock();
        if (!o || !b)
            return;
        b->timer = o->offload.scheduler->after(wait, [weak, weakBound] {
            auto o = weak.lock();
            auto b = weakBound.lock();
            if (!o || !b || !b->expired)
                return;
            const double limit = o->offload.boundSeconds;
            const double since =
                std::chrono::duration<double>(o->offload.scheduler->now() - o->promptEnded).count();
            if (o->prompting)
                return b->arm(limit);
            if (o->promptEnded != TimePoint{} && since < limit)
                return b->arm(limit - since);
            auto run = std::exchange(b->expired, nullptr);
            run();
        });
    };
    bound->arm(offloaded_->offload.boundSeconds);
    return Cancel([bound] {
        bound->timer.cancel();
        bound->expired = nullptr;
    });
}

bool KeychainStore::remembers() const {
    return !offloaded_ || !offloaded_->givenUp;
}

std::size_t KeychainStore::callsUnderWay() const {
    return offloaded_ ? offloaded_->underWay : 0;
}

std::optional<std::string> KeychainStore::cachedValue(std::string_view key) const {
    const auto it = offloaded_->values.find(key);
    if (it == offloaded_->values.end())
        return std::nullopt;
    return it->second;
}

void KeychainStore::loadWhenReady(std::function<void()> done) {
    Offloaded& o = *offloaded_;
    if (o.load == Offloaded::Load::done)
        return o.offload.post(std::move(done));
    o.loadWaiters.push_back(std::move(done));
    if (o.load == Offloaded::Load::running)
        return;
    o.load = Offloaded::Load::running;
    ++o.underWay;

    const std::weak_ptr<Offloaded> weak = offloaded_;
    auto finish = [weak, self = this](std::optional<SessionRead> read) {
        auto o = weak.lock();
        if (!o || o->load != Offloaded::Load::running)
            return;
        o->load = Offloaded::Load::done;
        o->loadBound.cancel();
        --o->underWay;
        if (read) {
            for (auto& [key, value] : read->values)
                if (!o->touched.contains(key))
                    o->values.try_emplace(key, std::move(value));
            if (read->locked) {
                o->locked = true;
                self->log_.write(kLockedLine);
                self->watchUnlock();
            }
        } else {
            o->givenUp = true;
        }
        for (auto& waiter : std::exchange(o->loadWaiters, {}))
            if (waiter)
                waiter();
    };
    o.loadBound = boundOutsidePrompts([finish] { finish(std::nullopt); });
    o.worker.run([post = o.offload.post, finish, secrets = o.secrets, service = service_] {
        post([finish, read = readSession(*secrets, service, kSessionKeys)]() mutable {
            finish(std::move(read));
        });
    });
}

bool KeychainStore::isLocked() const {
    return offloaded_ && offloaded_->locked;
}

// Looks at the lock a while from now, on the worker; once it is open, the
// values are read (no prompt now) and what this run has not changed since
// comes back.
void KeychainStore::watchUnlock() {
    Offloaded& o = *offloaded_;
    const std::weak_ptr<Offloaded> weak = offloaded_;
    o.unlockWatch = o.offload.scheduler->after(kUnlockCheckSeconds, [weak, self = this] {
        auto o = weak.lock();
        if (!o || !o->locked || o->givenUp)
            return;
        o->worker.run(
            [post = o->offload.post, secrets = o->secrets, service = self->service_, weak, self] {
                SessionRead read;
                read.locked = secrets->isLocked();
                if (!read.locked)
                    read = readSession(*secrets, service, kSessionKeys);
                post([weak, self, read = std::move(read)]() mutable {
                    auto o = weak.lock();
                    if (!o || !o->locked || o->givenUp)
                        return;
                    if (read.locked)
                        return self->watchUnlock();
                    o->locked = false;
                    for (auto& [key, value] : read.values)
                        if (!o->touched.contains(key))
                            o->values.try_emplace(key, std::move(value));
                    self->log_.write("[Mivo][Auth] the Secret Service keyring was unlocked");
                    if (self->onUnlocked)
                        self->onUnlocked();
                });
            });
    });
}

void KeychainStore::offloadSet(std::string_view key, std::string_view value) {
    offloaded_->values.insert_or_assign(std::string(key), std::string(value));
    if (offloaded_->load != Offloaded::Load::done || offloaded_->locked)
        offloaded_->touched.emplace(key);
    if (offloaded_->givenUp)
        return giveUp(true);
    offload([secrets = offloaded_->secrets, service = service_, key = std::string(key),
             value = std::string(value)] { return storeValue(*secrets, service, key, value); },
            true);
}

void KeychainStore::offloadRemove(std::string_view key) {
    if (auto it = offloaded_->values.find(key); it != offloaded_->values.end())
        offloaded_->values.erase(it);
    if (offloaded_->load != Offloaded::Load::done || offloaded_->locked)
        offloaded_->touched.emplace(key);
    if (offloaded_->givenUp)
        return;
    offload(
        [secrets = offloaded_->secrets, service = service_, key = std::string(key)] {
            secrets->remove(service, key);
            return std::vector<std::string>{};
        },
        false);
}

void KeychainStore::offload(std::function<std::vector<std::string>()> job, bool mattersToUser) {
    Offloaded& o = *offloaded_;
    ++o.underWay;
    // Shared by the bound and the answer: whichever comes first decides.
    auto settled = std::make_shared<bool>(false);
    auto bound = std::make_shared<Cancel>();
    std::weak_ptr<Offloaded> weak = offloaded_;
    auto self = this;
    *bound = boundOutsidePrompts([weak, settled, self, mattersToUser] {
        auto o = weak.lock();
        if (!o || *settled)
            return;
        *settled = true;
        --o->underWay;
        self->giveUp(mattersToUser);
    });
    o.worker.run([post = o.offload.post, job = std::move(job), stopped = o.stopped, weak, settled,
                  bound, self, mattersToUser] {
        // After a failure the calls queued behind it are not made: each
        // would fail alike, and a keyring whose prompt the user just
        // dismissed would ask again for every one of them.
        if (stopped->load())
            return post([weak, settled, bound] {
                auto o = weak.lock();
                if (!o || std::exchange(*settled, true))
                    return;
                --o->underWay;
                bound->cancel();
            });
        auto lines = job();
        if (!lines.empty())
            stopped->store(true);
        post([weak, settled, bound, self, mattersToUser, lines = std::move(lines)] {
            auto o = weak.lock();
            if (!o || *settled)
                return;
            *settled = true;
            --o->underWay;
            bound->cancel();
            for (const auto& line : lines)
                self->log_.write(line);
            if (!lines.empty())
                self->giveUp(mattersToUser);
        });
    });
}

void KeychainStore::giveUp(bool tellUser) {
    Offloaded& o = *offloaded_;
    o.givenUp = true;
    o.stopped->store(true);
    if (!tellUser || o.told)
        return;
    o.told = true;
    std::weak_ptr<Offloaded> weak = offloaded_;
    o.offload.post([weak, self = this] {
        if (!weak.expired() && self->onNotRemembered)
            self->onNotRemembered();
    });
}

}  // namespace mivo
