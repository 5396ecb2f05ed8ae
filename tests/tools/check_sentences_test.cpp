#include "check_sentences/check_sentences.hpp"

#include "shared/json.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mivo {
namespace {
namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun runInProcess(std::vector<std::string> args, const std::string& input) {
    ::setenv("MIVO_TEXTLINT_BRIDGE", "0", 1);
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = runCheckSentences(args, in, out, err);
    return {status, out.str(), err.str()};
}

std::vector<json::Json> jsonLines(const std::string& out) {
    std::vector<json::Json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(json::parse(line));
    return lines;
}

TEST(CheckSentences, WritesOneJsonLinePerSentenceWithItsIssues) {
    const ToolRun r = runInProcess({}, "本をを読む。\r\n今日は良い天気です。\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["text"], "本をを読む。");  // the CR of a CRLF file is not text
    ASSERT_EQ(lines[0]["issues"].size(), 1u);
    EXPECT_EQ(lines[0]["issues"][0]["original"], "をを");
    EXPECT_EQ(lines[0]["issues"][0]["range"], json::parse(R"({"start":1,"end":3})"));
    EXPECT_EQ(lines[1]["issues"].size(), 0u);
}

TEST(CheckSentences, InvalidUtf8NamesTheLineAndGoesOn) {
    const ToolRun r = runInProcess({}, "一行目です。\n\xE3\x81\n本をを読む。\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 2: invalid UTF-8"), std::string::npos) << r.err;
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]["text"], "本をを読む。");
}

TEST(CheckSentences, RefusesBadUsage) {
    EXPECT_EQ(runInProcess({"--frobnicate"}, "").status, 2);
    EXPECT_EQ(runInProcess({"a", "b"}, "").status, 2);
}

TEST(CheckSentences, ProgramReadsAFileAndReportsAnUnreadableOne) {
    const fs::path dir = fs::temp_directory_path() / ("mivo-check-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "in.txt") << "本をを読む。\n";
    const std::string base = std::string("MIVO_TEXTLINT_BRIDGE=0 ") + CHECK_SENTENCES_PATH;
    int status = std::system((base + " " + (dir / "in.txt").string() + " > " +
                              (dir / "out.txt").string() + " 2> " + (dir / "err.txt").string())
                                 .c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::stringstream out;
    out << std::ifstream(dir / "out.txt").rdbuf();
    EXPECT_NE(out.str().find("\"suggestion\":\"を\""), std::string::npos) << out.str();

    status = std::system(
        (base + " " + (dir / "missing.txt").string() + " 2> " + (dir / "err.txt").string())
            .c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    std::stringstream err;
    err << std::ifstream(dir / "err.txt").rdbuf();
    EXPECT_NE(err.str().find("cannot read"), std::string::npos) << err.str();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace mivo
