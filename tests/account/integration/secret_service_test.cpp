// The token store on the real Secret Service: a private, unlocked GNOME
// Keyring (see with_keyring.sh).

#include <gmock/gmock.h>

#include <cstdlib>

#include "account/keychain_store.hpp"
#include "platform/linux/libsecret_secret_store.hpp"
#include "platform/sim/captured_log.hpp"

namespace mivo {
namespace {

class SecretServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Never the user's own keyring: only inside the private bus.
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
        for (const char* key : {"access_token", "refresh_token", "user_id", "k"}) {
            secrets.remove("com.mivo.auth", key);
            secrets.remove("com.mivo.other", key);
        }
    }

    linux_desktop::LibsecretSecretStore secrets;
    sim::CapturedLog log;
};

TEST_F(SecretServiceTest, UpdateFindsNothingUntilAnItemIsAdded) {
    EXPECT_EQ(secrets.read("com.mivo.auth", "k"), std::nullopt);
    auto updated = secrets.update("com.mivo.auth", "k", "v");
    ASSERT_TRUE(updated.has_value()) << updated.error().detail;
    EXPECT_EQ(*updated, SecretUpdate::notFound);
    EXPECT_EQ(secrets.read("com.mivo.auth", "k"), std::nullopt) << "update created an item";

    ASSERT_TRUE(secrets.add("com.mivo.auth", "k", "v1").has_value());
    EXPECT_EQ(secrets.read("com.mivo.auth", "k"), "v1");
    EXPECT_EQ(secrets.update("com.mivo.auth", "k", "v2"), SecretUpdate::updated);
    EXPECT_EQ(secrets.read("com.mivo.auth", "k"), "v2");
    secrets.remove("com.mivo.auth", "k");
    secrets.remove("com.mivo.auth", "k");
    EXPECT_EQ(secrets.read("com.mivo.auth", "k"), std::nullopt);
}

TEST_F(SecretServiceTest, ItemsAreFoundByServiceAndAccountTogether) {
    ASSERT_TRUE(secrets.add("com.mivo.auth", "user_id", "mine").has_value());
    ASSERT_TRUE(secrets.add("com.mivo.other", "user_id", "theirs").has_value());
    ASSERT_TRUE(secrets.add("com.mivo.auth", "refresh_token", "r").has_value());
    EXPECT_EQ(secrets.read("com.mivo.auth", "user_id"), "mine");
    EXPECT_EQ(secrets.read("com.mivo.other", "user_id"), "theirs");
    secrets.remove("com.mivo.auth", "user_id");
    EXPECT_EQ(secrets.read("com.mivo.other", "user_id"), "theirs");
    EXPECT_EQ(secrets.read("com.mivo.auth", "refresh_token"), "r");
}

TEST_F(SecretServiceTest, TheKeychainStoreKeepsUnicodeValuesAndReplacesThem) {
    KeychainStore store("com.mivo.auth", secrets, log);
    store.set("user_id", "ユーザー✓");
    EXPECT_EQ(store.get("user_id"), "ユーザー✓");
    store.set("user_id", "second");
    EXPECT_EQ(store.get("user_id"), "second");
    // A new store (a new run) finds what the first one wrote.
    KeychainStore later("com.mivo.auth", secrets, log);
    EXPECT_EQ(later.get("user_id"), "second");
    later.remove("user_id");
    EXPECT_EQ(store.get("user_id"), std::nullopt);
    EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace mivo
