#include "morphology/ruby_annotation.hpp"

namespace mivo {

std::optional<double> RubyAnnotation::sizeFactor() const {
    const auto found = attributes.find(sizeFactorKey);
    if (found == attributes.end())
        return std::nullopt;
    if (const double* factor = std::get_if<double>(&found->second))
        return *factor;
    return std::nullopt;
}

RubyAttributes mergedRubyAttributes(double sizeFactor, const RubyAttributes& attributes) {
    RubyAttributes merged{{RubyAnnotation::sizeFactorKey, sizeFactor}};
    for (const auto& [key, value] : attributes)
        merged.insert_or_assign(key, value);
    return merged;
}

}  // namespace mivo
