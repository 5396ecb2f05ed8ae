#include "ui/appearance.hpp"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace mivo::ui {
namespace {

TEST(Appearance, PortalValuesAndOverrideTexts) {
    EXPECT_EQ(colorSchemeFromPortal(1), ColorScheme::dark);
    EXPECT_EQ(colorSchemeFromPortal(2), ColorScheme::light);
    EXPECT_EQ(colorSchemeFromPortal(0), std::nullopt);
    EXPECT_EQ(colorSchemeFromPortal(7), std::nullopt);
    EXPECT_EQ(parseColorScheme("dark"), ColorScheme::dark);
    EXPECT_EQ(parseColorScheme("light"), ColorScheme::light);
    EXPECT_EQ(parseColorScheme("Dark"), std::nullopt);
    EXPECT_EQ(parseColorScheme(""), std::nullopt);
}

TEST(Appearance, OverrideChangesEmitOnceAndOnlyOnChange) {
    auto& appearance = Appearance::shared();
    appearance.setOverride(ColorScheme::light);
    QSignalSpy spy(&appearance, &Appearance::changed);
    appearance.setOverride(ColorScheme::dark);
    appearance.setOverride(ColorScheme::dark);
    EXPECT_TRUE(appearance.isDark());
    ASSERT_EQ(spy.count(), 1);
    appearance.setOverride(ColorScheme::light);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_FALSE(appearance.isDark());
}

}  // namespace
}  // namespace mivo::ui
