#pragma once

// check-sentences: runs the correction engine over UTF-8 sentences, one per
// line, and writes one JSON line per sentence with its issues.

#include <iosfwd>
#include <span>
#include <string>

namespace mivo {

class LocalCorrectionService;

// Exit status: 0 when every line was checked, 1 when some line was skipped
// (invalid UTF-8), 2 for a usage error or unreadable input.
int runCheckSentences(std::span<const std::string> args, std::istream& standardInput,
                      std::ostream& out, std::ostream& err);

// One line checked with `service`; the JSON line without its newline.
std::string checkSentenceLine(const LocalCorrectionService& service, const std::string& line,
                              bool vocabulary);

}  // namespace mivo
