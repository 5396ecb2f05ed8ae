// What `mivo` does with its command line, decided before anything starts.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.hpp"

namespace mivo {
namespace {

using Action = CommandLine::Action;

struct ArgumentsCase {
    const char* name;
    std::vector<std::string_view> arguments;
    Action action;
    std::string problem;
    int status;
};

void PrintTo(const ArgumentsCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineArguments : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(CommandLineArguments, DecideTheActionAndItsExitStatus) {
    const ArgumentsCase& c = GetParam();
    const CommandLine parsed = parseCommandLine(c.arguments);
    EXPECT_EQ(parsed.action, c.action);
    EXPECT_EQ(parsed.problem, c.problem);
    EXPECT_EQ(exitStatusOf(parsed.action), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineArguments,
    ::testing::Values(
        ArgumentsCase{"Nothing", {}, Action::run, "", 0},
        ArgumentsCase{"Version", {"--version"}, Action::showVersion, "", 0},
        ArgumentsCase{"Help", {"--help"}, Action::showUsage, "", 0},
        ArgumentsCase{"ShortHelp", {"-h"}, Action::showUsage, "", 0},
        ArgumentsCase{"FirstOfTwoAnswered", {"--version", "--help"}, Action::showVersion, "", 0},
        ArgumentsCase{
            "UnknownOption", {"--verbose"}, Action::refuse, "unknown option '--verbose'", 2},
        // Qt's own options are not Mivo's: a stray -platform would otherwise
        // choose a window system Mivo cannot work on.
        ArgumentsCase{"QtOption",
                      {"-platform", "offscreen"},
                      Action::refuse,
                      "unknown option '-platform'",
                      2},
        ArgumentsCase{"UnknownAfterKnown",
                      {"--version", "--bogus"},
                      Action::refuse,
                      "unknown option '--bogus'",
                      2},
        ArgumentsCase{
            "Argument", {"notes.txt"}, Action::refuse, "unexpected argument 'notes.txt'", 2},
        ArgumentsCase{"LoneDash", {"-"}, Action::refuse, "unexpected argument '-'", 2},
        ArgumentsCase{
            "SingleDashVersion", {"-version"}, Action::refuse, "unknown option '-version'", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineTexts, VersionLineIsTheAboutCardsVersionWithoutItsDash) {
    EXPECT_EQ(versionLine(AppVersion{.marketing = "1.4.2", .build = "57"}), "Mivo 1.4.2 (57)\n");
    EXPECT_EQ(versionLine(AppVersion{.marketing = "1.4.2", .build = "g3f9c2a1"}),
              "Mivo 1.4.2 (g3f9c2a1)\n");
    EXPECT_EQ(versionLine(AppVersion{.marketing = "0.1.0"}), "Mivo 0.1.0\n");
}

TEST(CommandLineTexts, UsageNamesEveryOptionTheParserTakes) {
    const std::string usage = usageText();
    for (const char* option : {"--help", "-h", "--version"}) {
        SCOPED_TRACE(option);
        EXPECT_NE(usage.find(option), std::string::npos);
        const std::vector<std::string_view> arguments{option};
        EXPECT_NE(parseCommandLine(arguments).action, Action::refuse);
    }
    // The service's address is refused unless it keeps tokens safe: the
    // rule is told before the user meets a refusal.
    for (const char* rule : {"MIVO_API_URL", "https", "http://127.0.0.1:", "not localhost"})
        EXPECT_NE(usage.find(rule), std::string::npos) << rule;
    EXPECT_EQ(refusalText(CommandLine{.action = Action::refuse, .problem = "unknown option '-x'"}),
              "mivo: unknown option '-x'\nTry 'mivo --help' for what it takes.\n");
}

struct DisplayCase {
    const char* name;
    std::optional<std::string> display;
    bool wayland;
    std::vector<std::string> says;
};

void PrintTo(const DisplayCase& c, std::ostream* os) {
    *os << c.name;
}

class NoDisplayMessage : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(NoDisplayMessage, SaysWhatIsMissingAndHowToGetXWayland) {
    const DisplayCase& c = GetParam();
    const std::string text = noDisplayText(c.display, c.wayland);
    EXPECT_TRUE(text.starts_with("Mivo needs an X11 display")) << text;
    for (const auto& part : c.says)
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
    EXPECT_NE(text.find("apt install xwayland"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, NoDisplayMessage,
    ::testing::Values(DisplayCase{"NoDisplayVariable", std::nullopt, false, {"DISPLAY is not set"}},
                      DisplayCase{
                          "DisplayThatDoesNotAnswer", ":42", false, {"\":42\" cannot be opened"}},
                      DisplayCase{"WaylandWithoutXWayland",
                                  std::nullopt,
                                  true,
                                  {"DISPLAY is not set",
                                   "This Wayland session offers no X11 display", "log in again"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
