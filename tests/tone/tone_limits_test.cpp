// The rewrite length limit: override, then environment, then 1000.

#include <gmock/gmock.h>

#include <cstdlib>

#include "tone/tone_limits.hpp"

namespace mivo {
namespace {

class ToneLimitsTest : public ::testing::Test {
  protected:
    void TearDown() override {
        unsetenv("MIVO_TONE_MAX_TARGET_CHARS");
        ToneLimits::update(std::nullopt);
    }
};

TEST_F(ToneLimitsTest, EnvironmentValueTable) {
    unsetenv("MIVO_TONE_MAX_TARGET_CHARS");
    EXPECT_EQ(ToneLimits::maxTargetCharacters(), 1000);
    struct Case {
        const char* value;
        int64_t limit;
    };
    const Case cases[] = {
        {"250", 250},  {" 250\n", 250}, {"\t250 ", 250},
        {"+250", 250}, {"1", 1},        {"9223372036854775807", 9223372036854775807},
        {"0", 1000},   {"-5", 1000},    {"-0", 1000},
        {"1.5", 1000}, {"12ab", 1000},  {"2 50", 1000},
        {"+", 1000},   {"+-3", 1000},   {"9223372036854775808", 1000},
        {"   ", 1000}, {"", 1000},      {"２５０", 1000},
    };
    for (const auto& c : cases) {
        setenv("MIVO_TONE_MAX_TARGET_CHARS", c.value, 1);
        EXPECT_EQ(ToneLimits::maxTargetCharacters(), c.limit) << "\"" << c.value << "\"";
    }
}

TEST_F(ToneLimitsTest, OverrideWinsUntilCleared) {
    setenv("MIVO_TONE_MAX_TARGET_CHARS", "250", 1);
    ToneLimits::update(50);
    EXPECT_EQ(ToneLimits::maxTargetCharacters(), 50);
    ToneLimits::update(0);
    EXPECT_EQ(ToneLimits::maxTargetCharacters(), 250);
    ToneLimits::update(7);
    ToneLimits::update(std::nullopt);
    EXPECT_EQ(ToneLimits::maxTargetCharacters(), 250);
    ToneLimits::update(-3);
    EXPECT_EQ(ToneLimits::maxTargetCharacters(), 250);
}

}  // namespace
}  // namespace mivo
