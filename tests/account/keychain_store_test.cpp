// The token store over an in-memory secret service and over the
// development file, whose permissions are read back with stat.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "../shared/planted_files.hpp"
#include "account/dev_file_store.hpp"
#include "account/keychain_store.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/memory_secret_store.hpp"

namespace mivo {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

class KeychainStoreTest : public ::testing::Test {
  protected:
    sim::MemorySecretStore secrets;
    sim::CapturedLog log;
    KeychainStore store{"com.mivo.auth", secrets, log};
};

TEST_F(KeychainStoreTest, SetReplacesAndDeleteRemoves) {
    EXPECT_EQ(store.get("access_token"), std::nullopt);
    store.set("access_token", "one");
    store.set("access_token", "two");
    EXPECT_EQ(store.get("access_token"), "two");
    EXPECT_EQ(secrets.read("com.mivo.auth", "access_token"), "two");
    EXPECT_EQ(secrets.itemCount(), 1u);
    store.remove("access_token");
    store.remove("access_token");  // absent: no error
    EXPECT_EQ(store.get("access_token"), std::nullopt);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(KeychainStoreTest, ItemsAreKeptPerService) {
    KeychainStore other("com.other", secrets, log);
    store.set("user_id", "u1");
    other.set("user_id", "u2");
    EXPECT_EQ(store.get("user_id"), "u1");
    EXPECT_EQ(other.get("user_id"), "u2");
}

TEST_F(KeychainStoreTest, AFailedUpdateIsLoggedAndNotFollowedByAnAdd) {
    secrets.failUpdates(-128);
    store.set("refresh_token", "r");
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{
                  "[Mivo][Auth] Secret Service keyring update failed for refresh_token: "
                  "libsecret error=-128 (update refused)"});
    secrets.failUpdates(std::nullopt);
    EXPECT_EQ(store.get("refresh_token"), std::nullopt);
}

TEST(SecretErrorText, NamesLibsecretsCodeAndItsMessage) {
    EXPECT_EQ(describeSecretError({2, "No such secret collection at path: /"}),
              "libsecret error=2 (No such secret collection at path: /)");
    EXPECT_EQ(describeSecretError({-128, ""}), "libsecret error=-128");
}

TEST_F(KeychainStoreTest, AFailedAddIsLogged) {
    secrets.failAdds(4);
    store.set("user_email", "a@b.c");
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"[Mivo][Auth] Secret Service keyring add failed for "
                                       "user_email: libsecret error=4 (add refused)"});
}

TEST_F(KeychainStoreTest, ReadsOfALockedServiceAnswerNothing) {
    store.set("access_token", "t");
    secrets.failReads(true);
    EXPECT_EQ(store.get("access_token"), std::nullopt);
}

struct ExpiryRow {
    const char* text;
    std::optional<double> seconds;
};

TEST(KeychainStoreExpiryTest, ParsesTheWholeTextAsAFiniteNumber) {
    const ExpiryRow rows[] = {
        {"1700000000.5", 1700000000.5},
        {"1.5", 1.5},
        {"1700000000", 1700000000.0},
        {"+2.25", 2.25},
        {"-1.0", -1.0},
        {"1e3", 1000.0},
        {" 1.5", std::nullopt},
        {"\t1.5", std::nullopt},
        {"1.5 ", std::nullopt},
        {"", std::nullopt},
        {"soon", std::nullopt},
        {"1,5", std::nullopt},
        {"nan", std::nullopt},
        {"NAN", std::nullopt},
        {"inf", std::nullopt},
        {"-infinity", std::nullopt},
        {"1e400", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(KeychainStore::parseExpiry(row.text), row.seconds) << '"' << row.text << '"';
}

TEST(KeychainStoreExpiryTest, WritesTheShortestRoundTripDecimalWithAFraction) {
    const std::pair<double, const char*> rows[] = {
        {1700000000.0, "1700000000.0"},
        {1700000000.25, "1700000000.25"},
        {1700003600.123456, "1700003600.123456"},
        {0.5, "0.5"},
    };
    for (const auto& [secondsSince1970, text] : rows) {
        const Date t = KeychainStore::instantFromSeconds(secondsSince1970);
        const auto written = KeychainStore::formatExpiry(t);
        EXPECT_EQ(written, text);
        EXPECT_EQ(KeychainStore::parseExpiry(written), secondsSince1970);
    }
}

TEST_F(KeychainStoreTest, LoadsTheExpiryAsAnInstant) {
    EXPECT_EQ(store.loadAccessTokenExpiresAt(), std::nullopt);
    store.set("access_token_expires_at", "1700000000.5");
    EXPECT_EQ(store.loadAccessTokenExpiresAt(), Date{} + std::chrono::milliseconds(1700000000500));
    store.set("access_token_expires_at", " 1700000000.5");
    EXPECT_EQ(store.loadAccessTokenExpiresAt(), std::nullopt);
    store.set("access_token_expires_at", "nan");
    EXPECT_EQ(store.loadAccessTokenExpiresAt(), std::nullopt);
    // Far beyond what the clock can hold: kept at its edge, still in the future.
    store.set("access_token_expires_at", "1e300");
    ASSERT_TRUE(store.loadAccessTokenExpiresAt().has_value());
    EXPECT_GT(*store.loadAccessTokenExpiresAt(), Date{} + std::chrono::hours(24 * 365 * 200));
}

class DevFileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("mivo-devfile-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        ::chmod(root.c_str(), 0755);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
    sim::MemorySecretStore secrets;
    sim::CapturedLog log;
};

TEST_F(DevFileStoreTest, TheFileIsPrivateFromCreationAndItsFolderToo) {
    const mode_t oldMask = ::umask(0);  // a permissive umask must not leak into the modes
    const fs::path file = root / "Mivo" / "dev-auth.json";
    KeychainStore store("com.mivo.auth", secrets, log, file);
    ::umask(oldMask);
    EXPECT_EQ(modeOf(root / "Mivo"), 0700u);
    EXPECT_FALSE(fs::exists(file)) << "created before the first write";
    store.set("access_token", "tok");
    EXPECT_EQ(modeOf(file), 0600u);
    store.set("refresh_token", "ref");
    EXPECT_EQ(modeOf(file), 0600u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "Mivo"), fs::directory_iterator{}), 1);
    EXPECT_EQ(nlohmann::json::parse(readFile(file)),
              (nlohmann::json{{"access_token", "tok"}, {"refresh_token", "ref"}}));
    EXPECT_EQ(secrets.itemCount(), 0u) << "the secret service was used in development mode";
    EXPECT_EQ(log.lines(), std::vector<std::string>{"[Mivo][Auth] Dev mode detected → using file "
                                                    "store at " +
                                                    file.string() + " (no keyring prompt)"});
}

TEST_F(DevFileStoreTest, AnExistingFolderKeepsItsMode) {
    fs::create_directories(root / "Mivo");
    ::chmod((root / "Mivo").c_str(), 0750);
    KeychainStore store("com.mivo.auth", secrets, log, root / "Mivo" / "dev-auth.json");
    store.set("a", "b");
    EXPECT_EQ(modeOf(root / "Mivo"), 0750u);
    EXPECT_EQ(modeOf(root / "Mivo" / "dev-auth.json"), 0600u);
}

TEST_F(DevFileStoreTest, DeletingAnAbsentKeyWritesAnEmptyObject) {
    const fs::path file = root / "Mivo" / "dev-auth.json";
    KeychainStore store("com.mivo.auth", secrets, log, file);
    store.remove("user_id");
    EXPECT_EQ(readFile(file), "{}");
    EXPECT_EQ(modeOf(file), 0600u);
}

TEST_F(DevFileStoreTest, ValuesSurviveANewStoreAndDeleteRemovesOneKey) {
    const fs::path file = root / "Mivo" / "dev-auth.json";
    {
        KeychainStore store("com.mivo.auth", secrets, log, file);
        store.set("user_id", "u");
        store.set("user_email", "e@x");
        store.set("user_id", "u2");
    }
    KeychainStore again("com.mivo.auth", secrets, log, file);
    EXPECT_EQ(again.get("user_id"), "u2");
    again.remove("user_id");
    EXPECT_EQ(again.get("user_id"), std::nullopt);
    EXPECT_EQ(again.get("user_email"), "e@x");
}

TEST_F(DevFileStoreTest, ADamagedFileReadsAsEmptyAndIsReplacedByTheNextWrite) {
    const fs::path file = root / "Mivo" / "dev-auth.json";
    KeychainStore store("com.mivo.auth", secrets, log, file);
    const char* damaged[] = {"not json", "[1,2]", R"({"a":"b","n":1})"};
    for (const char* content : damaged) {
        std::ofstream(file) << content;
        EXPECT_EQ(store.get("a"), std::nullopt) << content;
    }
    store.set("c", "d");
    EXPECT_EQ(nlohmann::json::parse(readFile(file)), (nlohmann::json{{"c", "d"}}));
}

// A folder at the token path once ended every start with an uncaught
// exception; a named pipe or a link to /dev/zero held it forever.
TEST_F(DevFileStoreTest, AnythingButARegularFileIsKeptAsideAndReadsAsSignedOut) {
    using testing::Planted;
    const fs::path file = root / "Mivo" / "dev-auth.json";
    const fs::path elsewhere = root / "elsewhere.json";
    std::ofstream(elsewhere) << R"({"access_token":"not ours"})";
    for (const Planted kind : {Planted::namedPipe, Planted::linkToDevZero, Planted::folder,
                               Planted::oversized, Planted::linkToFile}) {
        SCOPED_TRACE(testing::nameOf(kind));
        fs::remove_all(root / "Mivo");
        testing::plant(kind, file, DevFileStore::kMaxFileBytes + 1, elsewhere);
        log.clear();
        KeychainStore store("com.mivo.auth", secrets, log, file);
        EXPECT_EQ(store.get("access_token"), std::nullopt);
        EXPECT_EQ(log.count("; kept aside as " + file.string() + ".broken; signed out"), 1u);
        store.set("access_token", "tok");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        EXPECT_EQ(modeOf(file), 0600u);
        EXPECT_EQ(store.get("access_token"), "tok");
        EXPECT_EQ(readFile(elsewhere), R"({"access_token":"not ours"})");
    }
}

TEST_F(DevFileStoreTest, AFolderOpenToOthersIsNeitherReadNorWritten) {
    const fs::path file = root / "Mivo" / "dev-auth.json";
    fs::create_directories(root / "Mivo");
    ::chmod((root / "Mivo").c_str(), 0777);
    std::ofstream(file) << R"({"access_token":"planted"})";
    KeychainStore store("com.mivo.auth", secrets, log, file);
    EXPECT_EQ(store.get("access_token"), std::nullopt);
    store.set("access_token", "tok");
    store.remove("user_id");
    EXPECT_EQ(readFile(file), R"({"access_token":"planted"})");
    EXPECT_EQ(log.count("not using the token file " + file.string() + ": " +
                        (root / "Mivo").string() + " can be written by every user"),
              1u);
}

TEST(DevFileStorePath, WithoutHomeThePathIsNeverRelative) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* savedData = std::getenv("XDG_DATA_HOME");
    const std::string data = savedData ? savedData : "";
    ::unsetenv("XDG_DATA_HOME");
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative"}) {
        if (value)
            ::setenv("HOME", value, 1);
        else
            ::unsetenv("HOME");
        const fs::path path = DevFileStore::defaultPath();
        EXPECT_TRUE(path.empty() || path.is_absolute()) << path;
    }
    ::setenv("HOME", home.c_str(), 1);
    if (savedData)
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
}

// The switch is read once per process, so each case runs in a fresh copy of
// this test program with its own environment.
TEST(KeychainStoreModeTest, OnlyTheExactSwitchSelectsTheFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::pair<const char*, bool> rows[] = {
        {"1", true}, {"0", false}, {"true", false}, {"yes", false}, {" 1", false}, {nullptr, false},
    };
    for (const auto& [value, devMode] : rows) {
        EXPECT_EXIT(
            {
                if (value != nullptr)
                    ::setenv("MIVO_DEV_AUTH_FILE", value, 1);
                else
                    ::unsetenv("MIVO_DEV_AUTH_FILE");
                const bool file = KeychainStore::detectDevMode() &&
                                  KeychainStore::devFileFromEnvironment().has_value();
                // Changing the variable later changes nothing.
                ::setenv("MIVO_DEV_AUTH_FILE", devMode ? "0" : "1", 1);
                std::exit(file == devMode && KeychainStore::detectDevMode() == devMode ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << (value != nullptr ? value : "(unset)");
    }
}

}  // namespace
}  // namespace mivo
