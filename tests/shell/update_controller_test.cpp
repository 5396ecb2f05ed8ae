#include "shell/update_controller.hpp"

#include <gmock/gmock.h>

#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo {
namespace {

// The feed answers when the test says so.
class UpdateControllerTest : public ::testing::Test {
  protected:
    UpdateController make(std::optional<std::string> feedURL = "https://mivo.app/feed.json",
                          InstallKind kind = InstallKind::package) {
        return UpdateController({
            .scheduler = clock,
            .defaults = defaults,
            .alerts = alerts,
            .fetch =
                [this](const std::string& url,
                       std::function<void(std::optional<std::string>)> done) {
                    fetched.push_back(url);
                    pending = std::move(done);
                },
            .openURL = [this](const std::string& url) { opened.push_back(url); },
            .currentVersion = "0.1.0",
            .feedURL = std::move(feedURL),
            .installKind = kind,
        });
    }
    void answer(std::optional<std::string> body) {
        auto done = std::exchange(pending, {});
        ASSERT_TRUE(done);
        done(std::move(body));
    }

    sim::VirtualClock clock;
    sim::MemoryUserDefaults defaults;
    sim::RecordedAlerts alerts;
    std::vector<std::string> fetched;
    std::vector<std::string> opened;
    std::function<void(std::optional<std::string>)> pending;
};

TEST_F(UpdateControllerTest, AUserCheckReportsEachOutcomeAndNotifiesAroundIt) {
    const struct {
        std::optional<std::string> body;
        const char* title;
        bool datesTheCheck;
    } cases[] = {
        {R"({"version":"0.2.0","notes_url":"https://mivo.app/notes"})",
         "A new version of Mivo is available", true},
        {R"({"version":"0.1.0"})", "You’re up to date", true},
        {R"({"version":"soon"})", "Update Error", false},
        {std::nullopt, "Update Error", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        defaults = {};
        alerts.shown.clear();
        auto updates = make();
        int changes = 0;
        updates.onChanged = [&] { ++changes; };
        updates.checkForUpdates();
        EXPECT_FALSE(updates.canCheckForUpdates());
        updates.checkForUpdates();  // ignored while one runs
        answer(c.body);
        EXPECT_TRUE(updates.canCheckForUpdates());
        EXPECT_EQ(changes, 2);  // started, finished
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].request.title, c.title);
        EXPECT_EQ(updates.lastUpdateCheckDate().has_value(), c.datesTheCheck);
    }
    EXPECT_EQ(fetched.size(), 4u);
}

TEST_F(UpdateControllerTest, ReleaseNotesOpenOnlyWhenChosen) {
    auto updates = make();
    updates.checkForUpdates();
    answer(R"({"version":"1.0","notes_url":"https://mivo.app/notes"})");
    ASSERT_EQ(alerts.shown.at(0).request.buttons,
              (std::vector<std::string>{"View Release Notes", "OK"}));
    alerts.answer(1);
    EXPECT_TRUE(opened.empty());
    updates.checkForUpdates();
    answer(R"({"version":"1.0","notes_url":"https://mivo.app/notes"})");
    alerts.answer(0);
    EXPECT_THAT(opened, ::testing::ElementsAre("https://mivo.app/notes"));
}

TEST_F(UpdateControllerTest, AutomaticChecksAreDailySilentUnlessNewerAndFollowTheSwitch) {
    auto updates = make();
    updates.start();
    clock.advance(59);
    EXPECT_TRUE(fetched.empty());
    clock.advance(1);
    ASSERT_EQ(fetched.size(), 1u);
    answer(R"({"version":"0.1.0"})");
    EXPECT_TRUE(alerts.shown.empty());  // up to date: nothing to say

    updates.setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(defaults.boolean(UpdateController::automaticKey), false);
    clock.advance(24 * 3600);
    EXPECT_EQ(fetched.size(), 1u);
    updates.setAutomaticallyChecksForUpdates(true);
    clock.advance(24 * 3600);
    ASSERT_EQ(fetched.size(), 2u);
    answer(R"({"version":"0.3.0"})");
    EXPECT_EQ(alerts.shown.size(), 1u);
}

TEST_F(UpdateControllerTest, WithoutAFeedNothingIsFetchedAndTheUserIsTold) {
    auto updates = make(std::nullopt);
    updates.start();
    clock.advance(48 * 3600);
    updates.checkForUpdates();
    EXPECT_TRUE(fetched.empty());
    ASSERT_EQ(alerts.shown.size(), 1u);
    // In the user's words: where new versions come from, no variable names.
    EXPECT_EQ(alerts.shown[0].request.title, "Updates Come with Your Package");
    EXPECT_THAT(alerts.shown[0].request.message,
                ::testing::HasSubstr("the package you installed it from"));
    EXPECT_THAT(alerts.shown[0].request.message, ::testing::Not(::testing::HasSubstr("MIVO_")));
    EXPECT_TRUE(updates.canCheckForUpdates());
    EXPECT_FALSE(updates.hasUpdateFeed());
    // Nothing is checked, so the switch reads off, whatever was stored, and
    // flipping it changes nothing.
    EXPECT_FALSE(updates.automaticallyChecksForUpdates());
    updates.setAutomaticallyChecksForUpdates(true);
    EXPECT_FALSE(updates.automaticallyChecksForUpdates());
    EXPECT_EQ(defaults.writeCount(), 0u);
    defaults.set(UpdateController::automaticKey, true);
    EXPECT_FALSE(updates.automaticallyChecksForUpdates());
    EXPECT_TRUE(make().automaticallyChecksForUpdates()) << "kept for a run with a feed";
}

// What the user is told to do about new versions depends on how this copy
// came onto the machine: a copy built from source hears nothing of a
// package it never came from.
TEST_F(UpdateControllerTest, EachKindOfCopyIsToldWhereItsNewVersionsComeFrom) {
    const struct {
        InstallKind kind;
        const char* noFeedTitle;
        const char* noFeedSays;
        const char* newerSays;
        bool mentionsPackages;
    } cases[] = {
        {InstallKind::package, "Updates Come with Your Package",
         "the package you installed it from", "Update it with your system's package manager.",
         true},
        {InstallKind::builtFromSource, "Updates Come from the Source",
         "pull the newest source and build it again", "Pull the newest source and build it again.",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.noFeedTitle);
        alerts.shown.clear();
        auto withoutFeed = make(std::nullopt, c.kind);
        EXPECT_EQ(withoutFeed.installKind(), c.kind);
        withoutFeed.checkForUpdates();
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].request.title, c.noFeedTitle);
        EXPECT_THAT(alerts.shown[0].request.message, ::testing::HasSubstr(c.noFeedSays));

        auto withFeed = make("https://mivo.app/feed.json", c.kind);
        withFeed.checkForUpdates();
        answer(R"({"version":"0.2.0"})");
        ASSERT_EQ(alerts.shown.size(), 2u);
        const std::string& newer = alerts.shown[1].request.message;
        EXPECT_EQ(newer, "Mivo 0.2.0 is available; you have 0.1.0. " + std::string(c.newerSays));
        for (const auto& shown : alerts.shown) {
            EXPECT_EQ(shown.request.message.find("package") != std::string::npos,
                      c.mentionsPackages)
                << shown.request.message;
        }
    }
}

struct ExecutableCase {
    const char* path;
    InstallKind kind;
};

class InstallKindOfExecutable : public ::testing::TestWithParam<ExecutableCase> {};

TEST_P(InstallKindOfExecutable, IsDecidedByWhereTheBinaryLives) {
    EXPECT_EQ(installKindOf(GetParam().path), GetParam().kind) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, InstallKindOfExecutable,
    ::testing::Values(ExecutableCase{"/usr/bin/mivo", InstallKind::package},
                      ExecutableCase{"/usr/lib/mivo/mivo", InstallKind::package},
                      ExecutableCase{"/usr/local/bin/mivo", InstallKind::builtFromSource},
                      ExecutableCase{"/usr/local/../bin/mivo", InstallKind::package},
                      ExecutableCase{"/home/aiko/.local/bin/mivo", InstallKind::builtFromSource},
                      ExecutableCase{"/home/aiko/src/mivo/build/bin/mivo",
                                     InstallKind::builtFromSource},
                      ExecutableCase{"/usrlocal/bin/mivo", InstallKind::builtFromSource},
                      ExecutableCase{"/opt/usr/bin/mivo", InstallKind::builtFromSource},
                      ExecutableCase{"build/bin/mivo", InstallKind::builtFromSource},
                      ExecutableCase{"", InstallKind::builtFromSource}));

}  // namespace
}  // namespace mivo
