// What the textlint child may write before its answer counts as none: real
// child processes (small shell scripts) that write lines of every length,
// one that never ends, and one that never stops writing.

#include "correction/textlint/textlint_child_process.hpp"

#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace mivo {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr std::size_t kCap = TextlintChildProcess::kMaxLineBytes;

TextlintChildProcess shell(const std::string& script) {
    auto child = TextlintChildProcess::spawn({"/bin/sh", "-c", script}, "/");
    if (!child)
        throw std::runtime_error("cannot start /bin/sh");
    return std::move(*child);
}

// `bytes` letters without a newline, then a newline, then silence.
std::string lineOf(std::size_t bytes) {
    return "head -c " + std::to_string(bytes) + " /dev/zero | tr '\\0' x; echo; exec sleep 60";
}

TEST(TextlintChildProcess, LinesUpToTheCapArriveWholeLongerOnesAreNoAnswer) {
    struct Row {
        std::size_t bytes;
        bool answered;
    };
    for (const Row row : {Row{0, true}, Row{5, true}, Row{kCap, true}, Row{kCap + 1, false},
                          Row{8 * kCap, false}}) {
        SCOPED_TRACE(row.bytes);
        auto child = shell(lineOf(row.bytes));
        const auto line = child.readLine(steady_clock::now() + milliseconds(10'000));
        ASSERT_EQ(line.has_value(), row.answered);
        EXPECT_EQ(child.lineWasTooLong(), !row.answered);
        if (line) {
            EXPECT_EQ(*line, std::string(row.bytes, 'x'));
        }
    }
}

// A child that writes without pause and never ends its line gets no more
// than the cap or the deadline from the reader, whichever comes first; the
// child is still running then, and ending it kills and reaps it.
TEST(TextlintChildProcess, AChildWritingOneEndlessLineIsCutOffAndKilled) {
    for (const char* script :
         {"exec tr -d '\\n' < /dev/zero", "while :; do printf xxxxxxxxxxxxxxxx; done"}) {
        SCOPED_TRACE(script);
        auto child = shell(script);
        EXPECT_EQ(child.readLine(steady_clock::now() + milliseconds(300)), std::nullopt);
        EXPECT_TRUE(child.isRunning());
        const pid_t pid = child.pid();
        child.end();
        EXPECT_FALSE(child.isRunning());
        EXPECT_EQ(::kill(pid, 0), -1);
        EXPECT_EQ(errno, ESRCH);
    }
}

TEST(TextlintChildProcess, BytesAfterTheNewlineWaitForTheNextRead) {
    auto child = shell("printf 'one\\ntwo\\nthree'; exec sleep 60");
    const auto deadline = steady_clock::now() + milliseconds(10'000);
    EXPECT_EQ(child.readLine(deadline), "one");
    EXPECT_EQ(child.readLine(deadline), "two");
    // "three" never ends: the deadline answers for it.
    EXPECT_EQ(child.readLine(steady_clock::now() + milliseconds(200)), std::nullopt);
}

}  // namespace
}  // namespace mivo
