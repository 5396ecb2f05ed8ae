#include "tone_panel/svg_path_parser.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace mivo::SVGPathParser {
namespace {

std::string show(const std::vector<Token>& tokens) {
    std::ostringstream out;
    for (const Token& t : tokens) {
        if (const auto* c = std::get_if<Command>(&t)) {
            out << c->letter << ' ';
        } else {
            out << std::get<Number>(t).value << ' ';
        }
    }
    return out.str();
}

// Elements as text: "M0,0 L10,0 C1,2 3,4 5,6 Z".
std::string show(const std::vector<PathElement>& elements) {
    std::ostringstream out;
    for (const PathElement& e : elements) {
        switch (e.kind) {
            case PathElement::Kind::move:
                out << "M" << e.to.x << "," << e.to.y << ' ';
                break;
            case PathElement::Kind::line:
                out << "L" << e.to.x << "," << e.to.y << ' ';
                break;
            case PathElement::Kind::cubic:
                out << "C" << e.control1.x << "," << e.control1.y << ' ' << e.control2.x << ","
                    << e.control2.y << ' ' << e.to.x << "," << e.to.y << ' ';
                break;
            case PathElement::Kind::close:
                out << "Z ";
                break;
        }
    }
    return out.str();
}

TEST(SVGPathTokenizer, ReadsNumbersTheWayTheGrammarRunsThemTogether) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"1.5.5", "1.5 0.5 "},     {"1-2", "1 -2 "}, {"-.5e-3", "-0.0005 "},
        {"10,20 30", "10 20 30 "}, {"1e", ""},       {"e5", "5 "},
        {"1e5e3", "5000 "},        {"+3", "3 "},     {"M#1\r2", "M 1 2 "},
        {"M1é2", "M 1 2 "},        {"", ""},         {"c-.4 0z", "c -0.4 0 z "},
    };
    for (const auto& [data, expected] : rows) {
        EXPECT_EQ(show(tokenize(data)), expected) << data;
    }
}

TEST(SVGPathBuilder, DrawsMovesLinesCurvesAndCloses) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"M10 10 20 20 30 10", "M10,10 L20,20 L30,10 "},
        {"m10 10 5 5", "M10,10 L15,15 "},
        {"M1 1 H5 V7 h-2 v-2", "M1,1 L5,1 L5,7 L3,7 L3,5 "},
        // No earlier curve: the first control point is the current point.
        {"M0 0 S10 10 20 0", "M0,0 C0,0 10,10 20,0 "},
        // After a curve, the reflection of its second control point.
        {"M0 0 C0 0 5 5 10 0 S20 5 30 0", "M0,0 C0,0 5,5 10,0 C15,-5 20,5 30,0 "},
        {"M0 0 c1 1 2 2 3 0 s2 -2 3 0", "M0,0 C1,1 2,2 3,0 C4,-2 5,-2 6,0 "},
        // After a close the next line starts from the subpath's start.
        {"M0 0 L10 0 Z L5 5", "M0,0 L10,0 Z M0,0 L5,5 "},
        {"M2 2 L10 0 z m1 1 l1 0", "M2,2 L10,0 Z M3,3 L4,3 "},
        // Arcs and quadratic curves are skipped, parameters and all.
        {"M0 0 A5 5 0 0 1 10 0 L20 0", "M0,0 L20,0 "},
        {"M0 0 Q5 5 10 0 L20 0", "M0,0 L20,0 "},
        // A missing number reads as 0, absolute commands too.
        {"M0 0 L5 Z", "M0,0 L5,0 Z "},
        // Numbers before the first command are skipped one by one.
        {"3 4 M1 1 L2 2", "M1,1 L2,2 "},
        // A line before any move starts from the origin.
        {"L3 4", "M0,0 L3,4 "},
    };
    for (const auto& [data, expected] : rows) {
        EXPECT_EQ(show(path(data)), expected) << data;
    }
}

TEST(SVGPathBuilder, ANumberAfterCloseEndsInsteadOfSpinning) {
    // Each number after Z belongs to no command and is skipped; the builder
    // finishes and draws what follows.
    EXPECT_EQ(show(path("M0 0 L4 0 Z 1 2 3 L1 1")), "M0,0 L4,0 Z M0,0 L1,1 ");
    EXPECT_EQ(show(path("z5")), "");
}

TEST(SVGPathBuilder, EachSegmentOfTheSignInMarkIsOneClosedFigure) {
    const std::vector<std::string> segments{
        "M45.12 24.5c0-1.56-.14-3.06-.4-4.5H24v8.51h11.84c-.51 2.75-2.06 5.08-4.39 "
        "6.64v5.52h7.11c4.16-3.83 6.56-9.47 6.56-16.17z",
        "M24 46c5.94 0 10.92-1.97 14.56-5.33l-7.11-5.52c-1.97 1.32-4.49 2.1-7.45 2.1-5.73 "
        "0-10.58-3.87-12.31-9.07H4.34v5.7C7.96 41.07 15.4 46 24 46z",
        "M11.69 28.18C11.25 26.86 11 25.45 11 24s.25-2.86.69-4.18v-5.7H4.34C2.85 17.09 2 20.45 2 "
        "24s.85 6.91 2.34 9.88l7.35-5.7z",
        "M24 10.75c3.23 0 6.13 1.11 8.41 3.29l6.31-6.31C34.91 4.18 29.93 2 24 2 15.4 2 7.96 6.93 "
        "4.34 14.12l7.35 5.7c1.73-5.2 6.58-9.07 12.31-9.07z",
    };
    for (const std::string& d : segments) {
        const auto elements = path(d);
        ASSERT_GE(elements.size(), 3u) << d;
        EXPECT_EQ(elements.front().kind, PathElement::Kind::move) << d;
        EXPECT_EQ(elements.back().kind, PathElement::Kind::close) << d;
        const auto moves = std::count_if(elements.begin(), elements.end(), [](const auto& e) {
            return e.kind == PathElement::Kind::move;
        });
        EXPECT_EQ(moves, 1) << d;
        for (const PathElement& e : elements) {
            EXPECT_TRUE(e.to.x >= 0 && e.to.x <= 48 && e.to.y >= 0 && e.to.y <= 48) << d;
        }
    }
    // The blue bar ends where it began: the last drawn point before the close
    // is (45.12, 24.5) again.
    const auto blue = path(segments[0]);
    const Point end = blue[blue.size() - 2].to;
    EXPECT_NEAR(end.x, 45.12, 1e-9);
    EXPECT_NEAR(end.y, 24.5, 1e-9);
}

}  // namespace
}  // namespace mivo::SVGPathParser
