#include "tone/tone_types.hpp"

#include <array>

namespace mivo {

namespace {

constexpr std::array actions{RewriteAction::improve, RewriteAction::tone, RewriteAction::translate};
constexpr std::array registers{Register::casual, Register::polite, Register::formalBusiness};

template <typename E, std::size_t N>
std::optional<E> fromRaw(std::string_view raw, const std::array<E, N>& all) {
    for (E value : all) {
        if (rawValue(value) == raw) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace

std::span<const RewriteAction> allRewriteActions() {
    return actions;
}
std::span<const Register> allRegisters() {
    return registers;
}

std::string_view rawValue(RewriteAction action) {
    switch (action) {
        case RewriteAction::improve:
            return "improve";
        case RewriteAction::tone:
            return "tone";
        case RewriteAction::translate:
            return "translate";
    }
    return {};
}

std::string_view rawValue(Register value) {
    switch (value) {
        case Register::casual:
            return "casual";
        case Register::polite:
            return "polite";
        case Register::formalBusiness:
            return "formal_business";
    }
    return {};
}

std::string_view rawValue(FeedbackRating rating) {
    return rating == FeedbackRating::thumbsUp ? "thumbs_up" : "thumbs_down";
}

std::optional<RewriteAction> rewriteActionFromRaw(std::string_view raw) {
    return fromRaw(raw, actions);
}

std::optional<Register> registerFromRaw(std::string_view raw) {
    return fromRaw(raw, registers);
}

std::string_view label(RewriteAction action) {
    switch (action) {
        case RewriteAction::improve:
            return "Improve";
        case RewriteAction::tone:
            return "Tone Converter";
        case RewriteAction::translate:
            return "Translate";
    }
    return {};
}

std::string_view label(Register value) {
    switch (value) {
        case Register::casual:
            return "Casual";
        case Register::polite:
            return "Polite";
        case Register::formalBusiness:
            return "Formal Business";
    }
    return {};
}

std::string_view subtitle(Register value) {
    switch (value) {
        case Register::casual:
            return "普通体";
        case Register::polite:
            return "丁寧語";
        case Register::formalBusiness:
            return "ビジネス丁寧語";
    }
    return {};
}

}  // namespace mivo
