#pragma once

// What the stand-in rewrite service does with a text: "improve" applies the
// on-device engine's suggestions sentence by sentence; the other actions
// leave the text as it is.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace mivo {
class LocalCorrectionService;
}

namespace mivo::stub {

// The text with every suggestion the engine makes applied, sentences split
// after 。！？!? and newlines; overlapping findings keep the earlier one.
std::string improveText(const LocalCorrectionService& engine, std::string_view text);

// What is wrong with a request body of the convert or the feedback endpoint,
// or nothing when it is well-formed.
std::optional<std::string> convertRequestProblem(const nlohmann::json& body);
std::optional<std::string> feedbackRequestProblem(const nlohmann::json& body);

}  // namespace mivo::stub
