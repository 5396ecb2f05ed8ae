// The real `mivo` binary, started as a child process without a display: what
// its command line answers, and how it refuses to run with no X display.
// Nothing here may touch the settings: the child's home and configuration
// folders are empty ones of the test's own, and stay empty.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace mivo {
namespace {

namespace fs = std::filesystem;

struct Ended {
    bool exited = false;  // false: ended by a signal (Qt's abort without a display)
    int status = -1;
    std::string out;
    std::string err;
};

struct RunCase {
    const char* name;
    std::vector<std::string> arguments;
    // Extra environment; DISPLAY and WAYLAND_DISPLAY are never inherited.
    std::vector<std::string> environment;
    int status;
    std::vector<std::string> outSays;
    std::vector<std::string> errSays;
    std::vector<std::string> outLacks = {};
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class MivoProcess : public ::testing::TestWithParam<RunCase> {
  protected:
    MivoProcess() {
        std::string pattern = (fs::temp_directory_path() / "mivo-process-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        fs::create_directories(root_ / "home");
        fs::create_directories(root_ / "config");
        fs::create_directories(root_ / "data");
    }
    ~MivoProcess() override { fs::remove_all(root_); }

    static std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    Ended run(const RunCase& c) {
        const auto inherited = [](std::string_view entry) {
            for (const char* dropped :
                 {"DISPLAY=", "WAYLAND_DISPLAY=", "HOME=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME="}) {
                if (entry.starts_with(dropped))
                    return false;
            }
            return true;
        };
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            if (inherited(*e))
                env.emplace_back(*e);
        }
        env.push_back("HOME=" + (root_ / "home").string());
        env.push_back("XDG_CONFIG_HOME=" + (root_ / "config").string());
        env.push_back("XDG_DATA_HOME=" + (root_ / "data").string());
        env.insert(env.end(), c.environment.begin(), c.environment.end());

        std::vector<std::string> args{MIVO_APP};
        args.insert(args.end(), c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const fs::path out = root_ / "stdout";
        const fs::path err = root_ / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        Ended ended;
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << MIVO_APP;
            return ended;
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ended.exited = WIFEXITED(status);
        ended.status = ended.exited ? WEXITSTATUS(status) : WTERMSIG(status);
        ended.out = slurp(out);
        ended.err = slurp(err);
        return ended;
    }

    // Every file the child left in its home and configuration folders.
    std::vector<std::string> leftBehind() const {
        std::vector<std::string> files;
        for (const char* folder : {"home", "config", "data"}) {
            for (const auto& entry : fs::recursive_directory_iterator(root_ / folder))
                files.push_back(entry.path().string());
        }
        return files;
    }

    fs::path root_;
};

TEST_P(MivoProcess, AnswersWithoutADisplayAndTouchesNoSettings) {
    const RunCase& c = GetParam();
    const Ended ended = run(c);
    ASSERT_TRUE(ended.exited) << "ended by signal " << ended.status << "\n" << ended.err;
    EXPECT_EQ(ended.status, c.status) << ended.err;
    for (const auto& part : c.outSays)
        EXPECT_NE(ended.out.find(part), std::string::npos) << part << " in\n" << ended.out;
    for (const auto& part : c.errSays)
        EXPECT_NE(ended.err.find(part), std::string::npos) << part << " in\n" << ended.err;
    for (const auto& part : c.outLacks)
        EXPECT_EQ(ended.out.find(part), std::string::npos) << part << " in\n" << ended.out;
    if (c.outSays.empty()) {
        EXPECT_EQ(ended.out, "");
    }
    if (c.errSays.empty()) {
        EXPECT_EQ(ended.err, "");
    }
    EXPECT_EQ(leftBehind(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, MivoProcess,
    ::testing::Values(
        // The about card's dash for a missing build stays out of the line;
        // a git checkout names its commit instead.
        RunCase{"Version", {"--version"}, {}, 0, {"Mivo " MIVO_VERSION}, {}, {"\u2014"}},
        RunCase{"Help", {"--help"}, {}, 0, {"Usage: mivo", "--version"}, {}},
        RunCase{"ShortHelp", {"-h"}, {}, 0, {"Usage: mivo"}, {}},
        RunCase{"UnknownOption",
                {"--verbose"},
                {},
                2,
                {},
                {"mivo: unknown option '--verbose'", "mivo --help"}},
        RunCase{"NoDisplay", {}, {}, 1, {}, {"needs an X11 display", "DISPLAY is not set"}},
        RunCase{"DisplayThatDoesNotAnswer",
                {},
                {"DISPLAY=:4093"},
                1,
                {},
                {"needs an X11 display", "\":4093\" cannot be opened"}},
        RunCase{"WaylandWithoutXWayland",
                {},
                {"WAYLAND_DISPLAY=wayland-mivo-test"},
                1,
                {},
                {"needs an X11 display", "install XWayland"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mivo
