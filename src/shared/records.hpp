#pragma once

// The plain records that the subsystems exchange while a sentence is checked
// and corrected. All offsets are Characters (extended grapheme clusters).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mivo {

struct TextRange {
    int64_t start = 0;
    int64_t end = 0;

    int64_t length() const { return end - start; }
    bool operator==(const TextRange&) const = default;
};

// The most blocks of one document whose checks are kept at once: the
// monitor remembers no more of them, the display holds no more checks.
// A document of thousands of paragraphs costs what these few cost.
inline constexpr std::size_t kMaxRememberedBlocks = 64;

struct CompletedSentenceCandidate {
    enum class Boundary { punctuation, newline, sentenceFinalPattern };

    std::string id;
    std::string text;
    TextRange range;
    double japaneseRatio = 0;
    Boundary boundary = Boundary::punctuation;
    std::chrono::system_clock::time_point detectedAt;
    // The block of a document of blocks (a line of rich text, a paragraph)
    // the text was read from, as the monitor numbers them while it follows
    // the document; 0 for a field followed as a whole. A later check of the
    // same block replaces this one; those of other blocks stay.
    uint64_t block = 0;
};

struct CorrectionIssue {
    enum class Severity { critical, unnatural, style };
    enum class Category { grammar, particle, vocabulary, conjugation, style };
    enum class Source { rule, model, hybrid };

    std::string id;
    std::string sentenceId;
    TextRange range;
    Severity severity = Severity::critical;
    Category category = Category::grammar;
    std::string original;
    std::string suggestion;
    std::string explanationEn;
    double confidence = 0;
    Source source = Source::rule;
};

// Raw-value forms: construction from a raw string is exact (case-sensitive,
// no trimming) and yields nothing for any other string.
std::string_view rawValue(CompletedSentenceCandidate::Boundary v);
std::string_view rawValue(CorrectionIssue::Severity v);
std::string_view rawValue(CorrectionIssue::Category v);
std::string_view rawValue(CorrectionIssue::Source v);

std::optional<CompletedSentenceCandidate::Boundary> boundaryFromRaw(std::string_view raw);
std::optional<CorrectionIssue::Severity> severityFromRaw(std::string_view raw);
std::optional<CorrectionIssue::Category> categoryFromRaw(std::string_view raw);
std::optional<CorrectionIssue::Source> sourceFromRaw(std::string_view raw);

}  // namespace mivo
