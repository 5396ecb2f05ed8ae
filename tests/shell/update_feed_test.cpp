#include "shell/update_feed.hpp"

#include <gmock/gmock.h>

namespace mivo {
namespace {

TEST(UpdateFeed, VersionsCompareNumericallyPartByPart) {
    const struct {
        const char* a;
        const char* b;
        std::optional<int> order;
    } cases[] = {
        {"0.10.0", "0.9.1", 1},       {"1.0", "1.0.0", 0},
        {"0.1.0", "0.1.1", -1},       {"2", "10", -1},
        {"1.x", "1.0", std::nullopt}, {"", "1", std::nullopt},
        {"1..2", "1", std::nullopt},  {"-1", "1", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareVersions(c.a, c.b), c.order) << c.a << " vs " << c.b;
    }
}

TEST(UpdateFeed, OnlyWellFormedFeedsDecode) {
    EXPECT_EQ(decodeUpdateFeed(R"({"version":"0.2.0","notes_url":"https://mivo.app/notes"})"),
              (UpdateFeed{"0.2.0", "https://mivo.app/notes"}));
    // A notes link that is not https is dropped, the version kept.
    EXPECT_EQ(decodeUpdateFeed(R"({"version":"0.2.0","notes_url":"file:///etc/passwd"})"),
              (UpdateFeed{"0.2.0", std::nullopt}));
    for (const char* bad : {"", "[]", R"({"version":2})", R"({"version":"latest"})", "{",
                            R"({"notes_url":"https://x"})"}) {
        EXPECT_EQ(decodeUpdateFeed(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace mivo
