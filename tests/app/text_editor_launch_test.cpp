// Which program opens the scratch file: the desktop's text/plain handler,
// found by its desktop entry and launched with gio, or nothing (the caller
// then opens the file by its type).

#include "app/text_editor_launch.hpp"

#include <gmock/gmock.h>

#include <map>
#include <set>

namespace mivo {
namespace {

namespace fs = std::filesystem;
using text_editor::Command;

const std::string kKate = "[Desktop Entry]\nName=Kate\nExec=kate -b %U\nMimeType=text/plain;\n";

TEST(TextEditorFolders, DataHomeFirstThenTheDataDirsWithTheirDefaults) {
    using text_editor::applicationFolders;
    EXPECT_THAT(applicationFolders("/home/u/data", "/home/u", "/opt/share:/usr/share"),
                ::testing::ElementsAre("/home/u/data/applications", "/opt/share/applications",
                                       "/usr/share/applications"));
    // Unset or relative entries fall back to the XDG defaults.
    EXPECT_THAT(applicationFolders(std::nullopt, "/home/u", std::nullopt),
                ::testing::ElementsAre("/home/u/.local/share/applications",
                                       "/usr/local/share/applications", "/usr/share/applications"));
    EXPECT_THAT(
        applicationFolders("relative", "/home/u", "share:/usr/share::/usr/share"),
        ::testing::ElementsAre("/home/u/.local/share/applications", "/usr/share/applications"));
}

class TextEditorLaunchTest : public ::testing::Test {
  protected:
    text_editor::System system() {
        return {
            .folders = {"/home/u/.local/share/applications", "/usr/share/applications"},
            .isFile = [this](const fs::path& p) { return files.contains(p.string()); },
            .readFile = [this](const fs::path& p) -> std::optional<std::string> {
                const auto it = files.find(p.string());
                return it == files.end() ? std::nullopt : std::optional(it->second);
            },
            .hasProgram = [this](std::string_view name) { return programs.contains(name); },
        };
    }
    std::optional<Command> open(std::string_view answer) {
        return text_editor::openCommand(answer, scratch, system());
    }

    std::map<std::string, std::string> files{
        {"/usr/share/applications/org.kde.kate.desktop", kKate},
        {"/usr/share/applications/vim.desktop", "[Desktop Entry]\nExec=vim %F\nTerminal=true\n"},
        {"/usr/share/applications/kde/kwrite.desktop", "[Desktop Entry]\nExec=kwrite %U\n"},
        {"/home/u/.local/share/applications/org.kde.kate.desktop",
         "[Desktop Entry]\nExec=kate %U\nHidden=true\n"},
        {"/usr/share/applications/broken.desktop", "[Desktop Action new]\nExec=x\n"},
    };
    std::set<std::string, std::less<>> programs{"gio"};
    const fs::path scratch = "/run/user/1000/Mivo Scratchpad.txt";
};

TEST_F(TextEditorLaunchTest, TheTextPlainHandlerIsLaunchedWithTheFileThroughGio) {
    struct Case {
        const char* why;
        std::string answer;  // what xdg-mime printed
        std::optional<std::string> entry;
    };
    const Case cases[] = {
        {"a handler in the system folder", "vim.desktop\n", "/usr/share/applications/vim.desktop"},
        {"a dash that stands for a subfolder", "kde-kwrite.desktop\n",
         "/usr/share/applications/kde/kwrite.desktop"},
        // The user's own entry hides the system one: no editor, no guessing.
        {"a hidden entry of the user's", "org.kde.kate.desktop\n", std::nullopt},
        {"no handler set", "\n", std::nullopt},
        {"a handler whose entry is gone", "gedit.desktop\n", std::nullopt},
        {"an entry without a main group", "broken.desktop", std::nullopt},
        {"not a desktop file name", "../../etc/passwd", std::nullopt},
        {"not a desktop file name either", "kate", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto command = open(c.answer);
        if (!c.entry) {
            EXPECT_EQ(command, std::nullopt);
            continue;
        }
        EXPECT_EQ(command,
                  (Command{"gio", {"launch", *c.entry, "/run/user/1000/Mivo Scratchpad.txt"}}));
    }
}

TEST_F(TextEditorLaunchTest, TheUsersOwnEntryComesFirstAndGioIsNeeded) {
    files["/home/u/.local/share/applications/org.kde.kate.desktop"] = kKate;
    EXPECT_EQ(open("org.kde.kate.desktop"),
              (Command{"gio",
                       {"launch", "/home/u/.local/share/applications/org.kde.kate.desktop",
                        scratch.string()}}));
    programs.clear();
    EXPECT_EQ(open("org.kde.kate.desktop"), std::nullopt);
}

}  // namespace
}  // namespace mivo
