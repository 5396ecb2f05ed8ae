#include "shared/records.hpp"

#include <array>

namespace mivo {
namespace {

template <typename E, std::size_t N>
std::optional<E> fromRaw(std::string_view raw, const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == raw)
            return static_cast<E>(i);
    }
    return std::nullopt;
}

// In the order of the enumerations' cases.
constexpr std::array<std::string_view, 3> kBoundary{"punctuation", "newline",
                                                    "sentenceFinalPattern"};
constexpr std::array<std::string_view, 3> kSeverity{"critical", "unnatural", "style"};
constexpr std::array<std::string_view, 5> kCategory{"grammar", "particle", "vocabulary",
                                                    "conjugation", "style"};
constexpr std::array<std::string_view, 3> kSource{"rule", "model", "hybrid"};

}  // namespace

std::string_view rawValue(CompletedSentenceCandidate::Boundary v) {
    return kBoundary[static_cast<std::size_t>(v)];
}
std::string_view rawValue(CorrectionIssue::Severity v) {
    return kSeverity[static_cast<std::size_t>(v)];
}
std::string_view rawValue(CorrectionIssue::Category v) {
    return kCategory[static_cast<std::size_t>(v)];
}
std::string_view rawValue(CorrectionIssue::Source v) {
    return kSource[static_cast<std::size_t>(v)];
}

std::optional<CompletedSentenceCandidate::Boundary> boundaryFromRaw(std::string_view raw) {
    return fromRaw<CompletedSentenceCandidate::Boundary>(raw, kBoundary);
}
std::optional<CorrectionIssue::Severity> severityFromRaw(std::string_view raw) {
    return fromRaw<CorrectionIssue::Severity>(raw, kSeverity);
}
std::optional<CorrectionIssue::Category> categoryFromRaw(std::string_view raw) {
    return fromRaw<CorrectionIssue::Category>(raw, kCategory);
}
std::optional<CorrectionIssue::Source> sourceFromRaw(std::string_view raw) {
    return fromRaw<CorrectionIssue::Source>(raw, kSource);
}

}  // namespace mivo
