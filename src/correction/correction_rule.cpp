#include "correction/correction_rule.hpp"

#include "shared/text.hpp"

namespace mivo {

CorrectionIssue makeIssue(const IssueFields& f, const TextRange& sentenceRange,
                          std::string_view sentenceId) {
    CorrectionIssue issue;
    issue.id = text::makeUuid();
    issue.sentenceId = std::string(sentenceId);
    issue.range = TextRange{sentenceRange.start + f.start, sentenceRange.start + f.end};
    issue.severity = f.severity;
    issue.category = f.category;
    issue.original = f.original;
    issue.suggestion = f.suggestion;
    issue.explanationEn = f.explanationEn;
    issue.confidence = f.confidence;
    issue.source = CorrectionIssue::Source::rule;
    return issue;
}

}  // namespace mivo
