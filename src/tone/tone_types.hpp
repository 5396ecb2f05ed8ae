#pragma once

// The values the rewrite engine and the rewrite panel exchange: what to do
// with the text, the register of a tone change, a rating. Raw values are the
// web API's.

#include <optional>
#include <span>
#include <string_view>

namespace mivo {

enum class RewriteAction { improve, tone, translate };
enum class Register { casual, polite, formalBusiness };
enum class FeedbackRating { thumbsUp, thumbsDown };

std::span<const RewriteAction> allRewriteActions();
std::span<const Register> allRegisters();

std::string_view rawValue(RewriteAction action);
std::string_view rawValue(Register value);
std::string_view rawValue(FeedbackRating rating);

std::optional<RewriteAction> rewriteActionFromRaw(std::string_view raw);
std::optional<Register> registerFromRaw(std::string_view raw);

// "Improve", "Tone Converter", "Translate".
std::string_view label(RewriteAction action);
// "Casual", "Polite", "Formal Business".
std::string_view label(Register value);
// "普通体", "丁寧語", "ビジネス丁寧語".
std::string_view subtitle(Register value);

}  // namespace mivo
