#include "check_sentences/check_sentences.hpp"

#include "correction/local_correction_service.hpp"
#include "shared/records_json.hpp"
#include "shared/text.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

namespace mivo {
namespace {

constexpr const char* kUsage = "usage: check-sentences [--vocabulary] [FILE]\n";

}  // namespace

std::string checkSentenceLine(const LocalCorrectionService& service, const std::string& line,
                              bool vocabulary) {
    CompletedSentenceCandidate candidate;
    candidate.id = text::makeUuid();
    candidate.text = line;
    candidate.range = TextRange{0, text::characterCount(line)};
    candidate.japaneseRatio = 1.0;  // not read by the engine
    candidate.boundary = CompletedSentenceCandidate::Boundary::newline;
    candidate.detectedAt = std::chrono::system_clock::now();

    json::Json issues = json::Json::array();
    for (const auto& issue : service.analyze(candidate, LocalCorrectionOptions{vocabulary})) {
        issues.push_back(toJson(issue));
    }
    json::Json out = json::Json::object();
    out["text"] = line;
    out["issues"] = std::move(issues);
    return out.dump();
}

int runCheckSentences(std::span<const std::string> args, std::istream& standardInput,
                      std::ostream& out, std::ostream& err) {
    bool vocabulary = false;
    std::string file;
    for (const auto& a : args) {
        if (a == "--vocabulary") {
            vocabulary = true;
        } else if (a == "-h" || a == "--help") {
            out << kUsage;
            return 0;
        } else if (a.starts_with("-") && a != "-") {
            err << "check-sentences: unknown option " << a << "\n" << kUsage;
            return 2;
        } else if (!file.empty()) {
            err << "check-sentences: only one input file can be given\n" << kUsage;
            return 2;
        } else {
            file = a;
        }
    }

    std::ifstream fileStream;
    std::istream* in = &standardInput;
    if (!file.empty() && file != "-") {
        fileStream.open(file, std::ios::binary);
        if (!fileStream) {
            err << "check-sentences: cannot read " << file << ": " << std::strerror(errno) << "\n";
            return 2;
        }
        in = &fileStream;
    }

    const LocalCorrectionService service;
    int status = 0;
    std::string line;
    for (long number = 1; std::getline(*in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!text::isValidUtf8(line)) {
            err << "check-sentences: line " << number << ": invalid UTF-8, skipped\n";
            status = 1;
            continue;
        }
        out << checkSentenceLine(service, line, vocabulary) << "\n";
    }
    if (in->bad()) {
        err << "check-sentences: read error on " << (file.empty() ? "standard input" : file)
            << "\n";
        return 2;
    }
    out.flush();
    return status;
}

}  // namespace mivo
