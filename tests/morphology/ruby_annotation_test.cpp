#include "morphology/ruby_annotation.hpp"
#include "morphology/furigana.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace mivo {
namespace {

TEST(RubyAnnotation, MergesTheCallersAttributesOverTheSizeFactor) {
    const struct {
        const char* why;
        double sizeFactor;
        RubyAttributes given;
        RubyAttributes expected;
        std::optional<double> effectiveFactor;
    } cases[] = {
        {"size factor alone", 0.5, {}, {{"sizeFactor", 0.5}}, 0.5},
        {"a zero size factor is kept, not defaulted", 0.0, {}, {{"sizeFactor", 0.0}}, 0.0},
        {"other keys join it",
         0.5,
         {{"font", std::string("Noto Sans CJK JP")}, {"underline", true}},
         {{"sizeFactor", 0.5}, {"font", std::string("Noto Sans CJK JP")}, {"underline", true}},
         0.5},
        {"the caller's size factor replaces ours",
         0.5,
         {{"sizeFactor", 0.7}, {"font", std::string("serif")}},
         {{"sizeFactor", 0.7}, {"font", std::string("serif")}},
         0.7},
        {"a caller's size factor that is no number still replaces ours",
         0.5,
         {{"sizeFactor", std::string("large")}},
         {{"sizeFactor", std::string("large")}},
         std::nullopt},
    };
    const FuriganaAnnotation furigana{"にほん", ByteRange{0, 6}};
    for (const auto& c : cases) {
        const RubyAnnotation ruby = furigana.rubyAnnotation(
            RubyAlignment::center, RubyOverhang::none, c.sizeFactor, RubyPosition::before, c.given);
        EXPECT_EQ(ruby.attributes, c.expected) << c.why;
        EXPECT_EQ(ruby.sizeFactor(), c.effectiveFactor) << c.why;
    }
}

TEST(RubyAnnotation, CarriesTheKanjiOnlyReadingAndTheLayoutChoices) {
    const std::string text = "美味しい";
    const auto furigana =
        furiganaAnnotation(text, "おいしい", ByteRange{0, text.size()}, text, true);
    ASSERT_TRUE(furigana.has_value());
    const RubyAnnotation ruby = furigana->rubyAnnotation(
        RubyAlignment::distributeLetter, RubyOverhang::end, 0.5, RubyPosition::after, {});
    EXPECT_EQ(ruby.reading, "おい");
    EXPECT_EQ(ruby.alignment, RubyAlignment::distributeLetter);
    EXPECT_EQ(ruby.overhang, RubyOverhang::end);
    EXPECT_EQ(ruby.position, RubyPosition::after);
}

}  // namespace
}  // namespace mivo
