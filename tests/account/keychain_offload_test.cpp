// The token store off the loop over an in-memory Secret Service: a worker
// thread makes the calls, a queue the test drains plays the main loop, and
// the bound runs on the virtual clock.

#include <gmock/gmock.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

#include "account/keychain_store.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/memory_secret_store.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

// The main loop of these tests: the worker's results wait here until the
// test runs them.
class PostedWork {
  public:
    MainLoopPost post() {
        return [this](std::function<void()> work) {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
            ready_.notify_all();
        };
    }
    // Runs posted work until `done` holds; false when nothing more came for
    // a few seconds.
    bool runUntil(const std::function<bool()>& done) {
        while (!done()) {
            std::function<void()> work;
            {
                std::unique_lock lock(mutex_);
                if (!ready_.wait_for(lock, std::chrono::seconds(5),
                                     [this] { return !queue_.empty(); }))
                    return false;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
            ++ran_;
        }
        return true;
    }
    int ran() const { return ran_; }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
    int ran_ = 0;
};

// A Secret Service that holds every call until the test lets it go.
class HeldSecretStore : public sim::MemorySecretStore {
  public:
    std::optional<std::string> read(std::string_view service, std::string_view account) override {
        gate_.wait();
        return MemorySecretStore::read(service, account);
    }
    void release() { open_.set_value(); }

  private:
    std::promise<void> open_;
    std::shared_future<void> gate_ = open_.get_future().share();
};

// A keyring that has to ask the user before it can store (gnome-keyring's
// "Choose password for new keyring"): the first add opens the prompt and
// waits until the test answers it for the user.
class PromptingSecretStore : public sim::MemorySecretStore {
  public:
    std::expected<void, SecretStoreError> add(std::string_view service, std::string_view account,
                                              std::string_view value) override {
        if (!answered_) {
            // Shown before the news is posted: the test's loop wakes on the
            // news and must then find the prompt up.
            shown_ = true;
            prompting(true);
            const bool created = answer_.get_future().get();
            prompting(false);
            answered_ = true;
            if (!created)
                failAdds(3);
        }
        return MemorySecretStore::add(service, account, value);
    }
    bool shown() const { return shown_; }
    // The user creates the keyring, or dismisses the prompt.
    void answer(bool create) { answer_.set_value(create); }

  private:
    std::promise<bool> answer_;
    std::atomic<bool> shown_ = false;
    bool answered_ = false;
};

class KeychainOffloadTest : public ::testing::Test {
  protected:
    KeychainStore make(std::shared_ptr<SecretStore> secrets) {
        return KeychainStore("com.mivo.auth", std::move(secrets), log,
                             KeychainStore::Offload{.post = loop.post(), .scheduler = &clock});
    }
    PostedWork loop;
    sim::VirtualClock clock;
    sim::CapturedLog log;
};

// A keyring locked at start whose unlock prompt the user dismisses: one
// prompt, not one per value; the sign-in stays in it and comes back when the
// keyring is unlocked elsewhere, except what this run changed since.
TEST_F(KeychainOffloadTest, ALockedKeyringAsksOnceAndItsValuesComeBackOnceUnlocked) {
    auto secrets = std::make_shared<sim::MemorySecretStore>();
    secrets->add("com.mivo.auth", "access_token", "stored");
    secrets->add("com.mivo.auth", "user_email", "mika@example.com");
    secrets->lock(true);
    KeychainStore store = make(secrets);
    int unlocked = 0;
    store.onUnlocked = [&] { ++unlocked; };
    bool loaded = false;
    store.whenLoaded([&] { loaded = true; });
    ASSERT_TRUE(loop.runUntil([&] { return loaded; }));
    EXPECT_EQ(secrets->unlockPrompts(), 1);
    EXPECT_TRUE(store.isLocked());
    EXPECT_EQ(store.get("access_token"), std::nullopt);
    EXPECT_EQ(log.count("the Secret Service keyring is locked: the sign-in stays kept in it and "
                        "comes back once the keyring is unlocked (or at the next start)"),
              1u);

    // Still locked at the next look: nothing asked, nothing back.
    clock.advance(KeychainStore::kUnlockCheckSeconds);
    clock.advance(KeychainStore::kUnlockCheckSeconds);
    EXPECT_EQ(secrets->unlockPrompts(), 1);
    EXPECT_EQ(unlocked, 0);

    store.set("user_email", "new@example.com");  // newer than what the keyring holds
    ASSERT_TRUE(loop.runUntil([&] { return store.callsUnderWay() == 0; }));
    secrets->lock(false);
    ASSERT_TRUE(loop.runUntil([&] {
        clock.advance(KeychainStore::kUnlockCheckSeconds);
        return unlocked > 0;
    }));
    EXPECT_FALSE(store.isLocked());
    EXPECT_EQ(store.get("access_token"), "stored");
    EXPECT_EQ(store.get("user_email"), "new@example.com");
    EXPECT_EQ(secrets->unlockPrompts(), 1);
    clock.advance(KeychainStore::kUnlockCheckSeconds * 3);
    loop.runUntil([&] { return store.callsUnderWay() == 0; });
    EXPECT_EQ(unlocked, 1);
}

TEST_F(KeychainOffloadTest, ValuesAreReadOnceAndWritesReachTheServiceBehind) {
    auto secrets = std::make_shared<sim::MemorySecretStore>();
    secrets->add("com.mivo.auth", "access_token", "stored");
    KeychainStore store = make(secrets);
    bool loaded = false;
    store.whenLoaded([&] { loaded = true; });
    EXPECT_FALSE(loaded) << "answered inside the call";
    ASSERT_TRUE(loop.runUntil([&] { return loaded; }));
    EXPECT_EQ(store.get("access_token"), "stored");

    store.set("refresh_token", "r");
    store.remove("access_token");
    EXPECT_EQ(store.get("refresh_token"), "r");
    EXPECT_EQ(store.get("access_token"), std::nullopt);
    ASSERT_TRUE(loop.runUntil([&] { return store.callsUnderWay() == 0; }));
    // Both calls settled: the bound has nothing left to end.
    clock.advance(KeychainStore::kSecretServiceBoundSeconds);
    EXPECT_EQ(secrets->read("com.mivo.auth", "refresh_token"), "r");
    EXPECT_EQ(secrets->read("com.mivo.auth", "access_token"), std::nullopt);
    EXPECT_TRUE(store.remembers());
    EXPECT_TRUE(log.lines().empty());
}

// A sign-out while the first read is still under way: the keys it removed
// do not come back with the read.
TEST_F(KeychainOffloadTest, WhatChangesDuringTheFirstReadIsNewerThanTheRead) {
    auto secrets = std::make_shared<HeldSecretStore>();
    secrets->add("com.mivo.auth", "refresh_token", "old");
    secrets->add("com.mivo.auth", "user_id", "old");
    KeychainStore store = make(secrets);
    bool loaded = false;
    store.whenLoaded([&] { loaded = true; });
    store.remove("refresh_token");
    store.set("user_id", "new");
    secrets->release();
    ASSERT_TRUE(loop.runUntil([&] { return loaded && store.callsUnderWay() == 0; }));
    EXPECT_EQ(store.get("refresh_token"), std::nullopt);
    EXPECT_EQ(store.get("user_id"), "new");
}

// No collection to keep anything in (the add fails): the session goes on in
// memory, the failure is logged, and the user hears of it once.
TEST_F(KeychainOffloadTest, AKeyringThatCannotKeepTheSignInIsToldOnce) {
    auto secrets = std::make_shared<sim::MemorySecretStore>();
    secrets->failAdds(2);
    KeychainStore store = make(secrets);
    int told = 0;
    store.onNotRemembered = [&] { ++told; };
    for (const char* key : KeychainStore::kSessionKeys)
        store.set(key, std::string("value of ") + key);
    ASSERT_TRUE(loop.runUntil([&] { return told > 0 && store.callsUnderWay() == 0; }));
    // Given up: a later write stays in memory and says nothing more.
    store.set("access_token", "later");
    EXPECT_EQ(store.callsUnderWay(), 0u);
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(store.remembers());
    EXPECT_EQ(store.get("access_token"), "later");
    EXPECT_EQ(store.get("user_email"), "value of user_email");
    EXPECT_THAT(log.lines(),
                ::testing::Contains("[Mivo][Auth] Secret Service keyring add failed for "
                                    "access_token: libsecret error=2 (add refused)"));
}

// A service that does not answer: the loop is never held; the bound ends the
// wait, and what was written meanwhile stays in memory.
TEST_F(KeychainOffloadTest, AServiceThatDoesNotAnswerIsGivenUpAtTheBound) {
    auto secrets = std::make_shared<HeldSecretStore>();
    KeychainStore store = make(secrets);
    int told = 0;
    store.onNotRemembered = [&] { ++told; };
    bool loaded = false;
    store.whenLoaded([&] { loaded = true; });
    store.set("access_token", "a");
    clock.advance(KeychainStore::kSecretServiceBoundSeconds - 0.1);
    EXPECT_FALSE(loaded);
    clock.advance(0.1);
    EXPECT_TRUE(loaded);
    ASSERT_TRUE(loop.runUntil([&] { return told == 1; }));
    EXPECT_EQ(store.get("access_token"), "a");
    EXPECT_FALSE(store.remembers());
    // The late answers (the read, then the write) change nothing.
    const int before = loop.ran();
    secrets->release();
    ASSERT_TRUE(loop.runUntil([&] { return loop.ran() == before + 2; }));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(store.get("access_token"), "a");
}

// While the keyring asks the user, the bound does not run: however long the
// user takes, nobody is told the sign-in is not saved over the prompt. Once
// the keyring exists every value is saved; only a dismissed prompt tells.
TEST_F(KeychainOffloadTest, APromptOfTheKeyringIsWaitedForNotGivenUp) {
    for (const bool create : {true, false}) {
        SCOPED_TRACE(create ? "keyring created" : "prompt dismissed");
        auto secrets = std::make_shared<PromptingSecretStore>();
        KeychainStore store = make(secrets);
        int told = 0;
        store.onNotRemembered = [&] { ++told; };
        bool loaded = false;
        store.whenLoaded([&] { loaded = true; });
        ASSERT_TRUE(loop.runUntil([&] { return loaded; }));
        for (const char* key : KeychainStore::kSessionKeys)
            store.set(key, std::string("value of ") + key);
        const int before = loop.ran();
        ASSERT_TRUE(loop.runUntil([&] { return secrets->shown(); }));
        // The prompt's news reaches the loop before the user is slow.
        ASSERT_TRUE(loop.runUntil([&] { return loop.ran() > before; }));
        clock.advance(KeychainStore::kSecretServiceBoundSeconds * 20);
        EXPECT_EQ(told, 0);
        EXPECT_TRUE(store.remembers());

        secrets->answer(create);
        // Once the prompt is gone the bounds count again, from zero.
        ASSERT_TRUE(loop.runUntil([&] { return store.callsUnderWay() == 0; }));
        clock.advance(KeychainStore::kSecretServiceBoundSeconds * 2);
        loop.runUntil([&] { return create || told > 0; });
        EXPECT_EQ(told, create ? 0 : 1);
        EXPECT_EQ(store.remembers(), create);
        EXPECT_EQ(secrets->read("com.mivo.auth", "user_email"),
                  create ? std::optional<std::string>("value of user_email") : std::nullopt);
    }
}

}  // namespace
}  // namespace mivo
