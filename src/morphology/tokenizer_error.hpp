#pragma once

// The one failure of building a tokenizer; its text goes to whoever reports
// why morphology is off.

#include <string>

namespace mivo {

struct TokenizerError {
    enum class Kind { initializationFailure };

    Kind kind = Kind::initializationFailure;
    std::string text;

    static TokenizerError initializationFailure(std::string text) {
        return TokenizerError{Kind::initializationFailure, std::move(text)};
    }
    const std::string& localizedDescription() const { return text; }
};

}  // namespace mivo
