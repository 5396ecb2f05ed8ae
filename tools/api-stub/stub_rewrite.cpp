#include "stub_rewrite.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "correction/local_correction_service.hpp"
#include "shared/text.hpp"

namespace mivo::stub {

namespace {

using nlohmann::json;

bool endsSentence(std::string_view character) {
    static constexpr std::array<std::string_view, 6> enders{"。", "！", "？", "!", "?", "\n"};
    return std::ranges::find(enders, character) != enders.end();
}

std::vector<std::string> sentences(std::string_view text) {
    std::vector<std::string> out(1);
    for (const auto& c : text::characters(text)) {
        out.back() += c;
        if (endsSentence(c) || c == "\r\n")
            out.emplace_back();
    }
    if (out.back().empty())
        out.pop_back();
    return out;
}

std::string correctSentence(const LocalCorrectionService& engine, const std::string& sentence) {
    CompletedSentenceCandidate candidate;
    candidate.id = "stub";
    candidate.text = sentence;
    candidate.range = {0, text::characterCount(sentence)};
    auto issues = engine.analyze(candidate, LocalCorrectionOptions{});
    std::ranges::sort(issues,
                      [](const auto& a, const auto& b) { return a.range.start < b.range.start; });
    std::string out;
    int64_t done = 0;
    for (const auto& issue : issues) {
        if (issue.range.start < done || issue.range.end > candidate.range.end)
            continue;
        out += text::characterSlice(sentence, done, issue.range.start);
        out += issue.suggestion;
        done = issue.range.end;
    }
    out += text::characterSlice(sentence, done, candidate.range.end);
    return out;
}

bool isStringMember(const json& body, const char* key) {
    auto it = body.find(key);
    return it != body.end() && it->is_string();
}

std::optional<std::string> checkKeys(const json& body, const std::set<std::string>& required,
                                     const std::set<std::string>& optional) {
    if (!body.is_object())
        return "the body must be a JSON object";
    for (const auto& key : required) {
        if (!isStringMember(body, key.c_str()))
            return "\"" + key + "\" must be a string";
    }
    for (const auto& [key, value] : body.items()) {
        if (required.contains(key))
            continue;
        if (!optional.contains(key))
            return "unexpected key \"" + key + "\"";
        if (!value.is_string())
            return "\"" + key + "\" must be a string";
    }
    return std::nullopt;
}

const std::set<std::string> actions{"improve", "tone", "translate"};
const std::set<std::string> registers{"casual", "polite", "formal_business"};

}  // namespace

std::string improveText(const LocalCorrectionService& engine, std::string_view text) {
    std::string out;
    for (const auto& s : sentences(text))
        out += correctSentence(engine, s);
    return out;
}

std::optional<std::string> convertRequestProblem(const json& body) {
    if (auto problem = checkKeys(
            body, {"target_text", "rewrite_action", "surface_tag", "request_id"},
            {"target_register", "preceding_context", "following_context", "subject_or_title"}))
        return problem;
    const auto action = body["rewrite_action"].get<std::string>();
    if (!actions.contains(action))
        return "unknown rewrite_action \"" + action + "\"";
    if (body["target_text"].get<std::string>().empty())
        return "\"target_text\" is empty";
    const bool hasRegister = body.contains("target_register");
    if (action == "tone" && !hasRegister)
        return "a tone rewrite needs \"target_register\"";
    if (action != "tone" && hasRegister)
        return "\"target_register\" belongs to tone rewrites only";
    if (hasRegister && !registers.contains(body["target_register"].get<std::string>()))
        return "unknown target_register";
    return std::nullopt;
}

std::optional<std::string> feedbackRequestProblem(const json& body) {
    if (auto problem =
            checkKeys(body, {"rewrite_action", "rating", "source_text", "converted_text"},
                      {"target_register", "request_id", "feedback_text"}))
        return problem;
    if (!actions.contains(body["rewrite_action"].get<std::string>()))
        return "unknown rewrite_action";
    const auto rating = body["rating"].get<std::string>();
    if (rating != "thumbs_up" && rating != "thumbs_down")
        return "unknown rating";
    if (body.contains("target_register") &&
        !registers.contains(body["target_register"].get<std::string>()))
        return "unknown target_register";
    return std::nullopt;
}

}  // namespace mivo::stub
