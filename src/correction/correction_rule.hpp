#pragma once

// The two rule interfaces and the conventions every rule follows when it
// builds an issue.

#include "morphology/morpheme.hpp"
#include "shared/records.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace mivo {

class CorrectionRule {
  public:
    virtual ~CorrectionRule() = default;
    virtual std::vector<CorrectionIssue> apply(std::string_view text,
                                               const TextRange& sentenceRange,
                                               std::string_view sentenceId) const = 0;
};

class MorphologyAwareRule {
  public:
    virtual ~MorphologyAwareRule() = default;
    virtual std::vector<CorrectionIssue> apply(std::string_view text,
                                               const std::vector<Morpheme>& morphemes,
                                               const TextRange& sentenceRange,
                                               std::string_view sentenceId) const = 0;

    // True only for TokenAwareVocabularyRule: its "style" findings are the
    // ones the user's vocabulary-suggestion setting hides. A property of the
    // rule's type, never of its place in the engine's list.
    virtual bool isVocabularyRule() const { return false; }
};

struct LocalCorrectionOptions {
    bool vocabularyStyleSuggestionsEnabled = false;
    bool operator==(const LocalCorrectionOptions&) const = default;
};

// What a rule chooses for one finding; the rest of the issue is convention.
struct IssueFields {
    int64_t start = 0;  // Characters inside the rule's text
    int64_t end = 0;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
    CorrectionIssue::Category category = CorrectionIssue::Category::grammar;
    std::string original;
    std::string suggestion;
    std::string explanationEn;
    double confidence = 0;
};

// A fresh upper-case UUID, the sentence id passed through, the range shifted
// by the sentence's start, source "rule".
CorrectionIssue makeIssue(const IssueFields& fields, const TextRange& sentenceRange,
                          std::string_view sentenceId);

}  // namespace mivo
