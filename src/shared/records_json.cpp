#include "shared/records_json.hpp"

#include <chrono>

namespace mivo {
namespace {

template <typename E>
E enumFromJson(const json::Json& j, std::string_view what,
               std::optional<E> (*fromRaw)(std::string_view)) {
    const std::string raw = json::asString(j, what);
    if (auto v = fromRaw(raw))
        return *v;
    throw json::DecodingError(std::string(what) + ": data corrupted: unknown value \"" + raw +
                              "\"");
}

}  // namespace

json::Json toJson(const TextRange& v) {
    json::Json j = json::Json::object();
    j["start"] = v.start;
    j["end"] = v.end;
    return j;
}

json::Json toJson(const CorrectionIssue& v) {
    json::Json j = json::Json::object();
    j["id"] = v.id;
    j["sentenceId"] = v.sentenceId;
    j["range"] = toJson(v.range);
    j["severity"] = std::string(rawValue(v.severity));
    j["category"] = std::string(rawValue(v.category));
    j["original"] = v.original;
    j["suggestion"] = v.suggestion;
    j["explanationEn"] = v.explanationEn;
    j["confidence"] = v.confidence;
    j["source"] = std::string(rawValue(v.source));
    return j;
}

json::Json toJson(const CompletedSentenceCandidate& v) {
    json::Json j = json::Json::object();
    j["id"] = v.id;
    j["text"] = v.text;
    j["range"] = toJson(v.range);
    j["japaneseRatio"] = v.japaneseRatio;
    j["boundary"] = std::string(rawValue(v.boundary));
    // Dates are written as seconds since the Unix epoch.
    j["detectedAt"] = std::chrono::duration<double>(v.detectedAt.time_since_epoch()).count();
    return j;
}

json::Json toJson(const HotKeyConfig& v) {
    json::Json j = json::Json::object();
    j["keyCode"] = v.keyCode;
    j["carbonModifiers"] = v.carbonModifiers;
    j["display"] = v.display;
    return j;
}

CorrectionIssue::Severity severityFromJson(const json::Json& j) {
    return enumFromJson(j, "severity", &severityFromRaw);
}
CorrectionIssue::Category categoryFromJson(const json::Json& j) {
    return enumFromJson(j, "category", &categoryFromRaw);
}
CorrectionIssue::Source sourceFromJson(const json::Json& j) {
    return enumFromJson(j, "source", &sourceFromRaw);
}
CompletedSentenceCandidate::Boundary boundaryFromJson(const json::Json& j) {
    return enumFromJson(j, "boundary", &boundaryFromRaw);
}

TextRange textRangeFromJson(const json::Json& j) {
    json::requireObject(j, "range");
    const int64_t start = json::requireInteger(j, "start");
    const int64_t end = json::requireInteger(j, "end");
    return TextRange{start, end};
}

CorrectionIssue correctionIssueFromJson(const json::Json& j) {
    json::requireObject(j, "issue");
    CorrectionIssue v;
    v.id = json::requireString(j, "id");
    v.sentenceId = json::requireString(j, "sentenceId");
    v.range = textRangeFromJson(json::member(j, "range"));
    v.severity = severityFromJson(json::member(j, "severity"));
    v.category = categoryFromJson(json::member(j, "category"));
    v.original = json::requireString(j, "original");
    v.suggestion = json::requireString(j, "suggestion");
    v.explanationEn = json::requireString(j, "explanationEn");
    v.confidence = json::requireNumber(j, "confidence");
    v.source = sourceFromJson(json::member(j, "source"));
    return v;
}

CompletedSentenceCandidate candidateFromJson(const json::Json& j) {
    json::requireObject(j, "candidate");
    CompletedSentenceCandidate v;
    v.id = json::requireString(j, "id");
    v.text = json::requireString(j, "text");
    v.range = textRangeFromJson(json::member(j, "range"));
    v.japaneseRatio = json::requireNumber(j, "japaneseRatio");
    v.boundary = boundaryFromJson(json::member(j, "boundary"));
    const double seconds = json::requireNumber(j, "detectedAt");
    // The clock counts nanoseconds in 64 bits, about 292 years either side
    // of 1970; a date nearer that edge than 9e9 s (285 years) is refused
    // rather than converted with an overflow.
    constexpr double kLimit = 9e9;
    if (!(-kLimit < seconds && seconds < kLimit))
        throw json::DecodingError("detectedAt: not a date the clock can hold");
    v.detectedAt = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::duration<double>(seconds)));
    return v;
}

HotKeyConfig hotKeyConfigFromJson(const json::Json& j) {
    json::requireObject(j, "hot key");
    const uint32_t keyCode = json::requireUInt32(j, "keyCode");
    const uint32_t modifiers = json::requireUInt32(j, "carbonModifiers");
    std::string display = json::requireString(j, "display");
    return HotKeyConfig{keyCode, modifiers, std::move(display)};
}

std::optional<HotKeyConfig> decodeHotKeyConfig(std::string_view text) {
    try {
        return hotKeyConfigFromJson(json::parse(text));
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace mivo
