#pragma once

// A stand-in for the textlint installation: a temporary package folder
// (".textlintrc.json", "package.json", "node_modules/.bin/textlint") and a
// small node script that speaks the bridge's line protocol. The script logs
// every start and every request line, so tests can tell whether the bridge
// wrote to a child or started one. What it answers depends on the text:
//   "hang..."       never answers
//   "endless"       writes one line that never ends, as fast as it can
//   "exit"          exits without answering
//   "then exit..."  answers, then exits
//   "raw:<line>"    answers with <line> verbatim
//   "error:<text>"  answers {"id", "error": <text>}
//   "wrong id"      answers with another request's id
//   anything else   the messages that answers.json holds for the text, else
//                   one message "stand-in/echo" whose message is the text

#include "correction/textlint/textlint_japanese_bridge.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace mivo::testing {

inline constexpr std::string_view kStandInScript = R"js(
import fs from "node:fs";
import path from "node:path";
import readline from "node:readline";

const logs = @LOGS@;
fs.appendFileSync(path.join(logs, "starts.log"), "start\n");
const send = (line, then) => process.stdout.write(line + "\n", then);

readline.createInterface({ input: process.stdin }).on("line", (line) => {
  fs.appendFileSync(path.join(logs, "requests.log"), line + "\n");
  const { id, text } = JSON.parse(line);
  let answers = {};
  try {
    answers = JSON.parse(fs.readFileSync(path.join(logs, "answers.json"), "utf8"));
  } catch {}
  if (text.startsWith("hang")) return;
  if (text === "endless") {
    const chunk = "x".repeat(65536);
    const pump = () => {
      while (process.stdout.write(chunk));
      process.stdout.once("drain", pump);
    };
    return pump();
  }
  if (text === "exit") process.exit(0);
  if (text.startsWith("raw:")) return send(text.slice(4));
  if (text.startsWith("error:")) return send(JSON.stringify({ id, error: text.slice(6) }));
  const messages = answers[text] ?? [
    { ruleId: "stand-in/echo", message: text, index: 0, range: [0, 1] },
  ];
  if (text === "wrong id") return send(JSON.stringify({ id: "not-" + id, messages }));
  send(JSON.stringify({ id, messages }), () => {
    if (text.startsWith("then exit")) process.exit(0);
  });
});
)js";

class StandInTextlint {
  public:
    explicit StandInTextlint(std::string_view script = kStandInScript) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "mivo-textlint-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        root = pattern;
        packageRoot = root / "package";
        std::filesystem::create_directories(packageRoot / "node_modules" / ".bin");
        std::ofstream(packageRoot / ".textlintrc.json") << "{}\n";
        std::ofstream(packageRoot / "package.json") << "{}\n";
        std::ofstream(packageRoot / "node_modules" / ".bin" / "textlint") << "";
        std::string source(script);
        const std::string logs = nlohmann::json(root.string()).dump();
        if (const auto at = source.find("@LOGS@"); at != std::string::npos)
            source.replace(at, 6, logs);
        scriptPath = root / "stand-in.mjs";
        std::ofstream(scriptPath) << source;
    }
    ~StandInTextlint() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    StandInTextlint(const StandInTextlint&) = delete;
    StandInTextlint& operator=(const StandInTextlint&) = delete;

    // Short bounds: a stand-in answers at once, and a test waits for a hang
    // only as long as `answerTimeout`.
    TextlintJapaneseBridge::Settings settings(
        std::chrono::milliseconds answerTimeout = std::chrono::milliseconds(2'000)) const {
        TextlintJapaneseBridge::Settings s;
        s.enabled = true;
        s.script = scriptPath;
        s.packageFolders = std::vector<std::filesystem::path>{packageRoot};
        s.firstAnswerTimeout = std::chrono::milliseconds(10'000);
        s.answerTimeout = answerTimeout;
        return s;
    }

    // Messages per text, as the JSON object answers.json.
    void setAnswers(const nlohmann::json& answers) const {
        std::ofstream(root / "answers.json") << answers.dump();
    }

    int starts() const { return lineCount("starts.log"); }
    int requests() const { return lineCount("requests.log"); }

    std::filesystem::path root;
    std::filesystem::path packageRoot;
    std::filesystem::path scriptPath;

  private:
    int lineCount(const char* name) const {
        std::ifstream in(root / name);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            ++n;
        return n;
    }
};

}  // namespace mivo::testing
