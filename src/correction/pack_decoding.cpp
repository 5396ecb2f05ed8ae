#include "correction/pack_decoding.hpp"

#include "correction/canonical_strings.hpp"

namespace mivo::packs {

const json::Json* optionalMember(const json::Json& object, std::string_view key) {
    json::requireObject(object, key);
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

std::optional<std::string> optionalString(const json::Json& object, std::string_view key) {
    if (const json::Json* v = optionalMember(object, key))
        return json::asString(*v, key);
    return std::nullopt;
}

std::optional<double> optionalNumber(const json::Json& object, std::string_view key) {
    const json::Json* v = optionalMember(object, key);
    if (v == nullptr)
        return std::nullopt;
    if (!v->is_number())
        throw json::DecodingError(std::string(key) + ": expected a number");
    return v->get<double>();
}

std::set<std::string> requireStringSet(const json::Json& object, std::string_view key) {
    const auto list = json::requireStringArray(object, key);
    return std::set<std::string>(list.begin(), list.end());
}

std::optional<std::set<std::string>> optionalStringSet(const json::Json& object,
                                                       std::string_view key) {
    if (optionalMember(object, key) == nullptr)
        return std::nullopt;
    return requireStringSet(object, key);
}

std::map<std::string, std::string> requireStringMap(const json::Json& object,
                                                    std::string_view key) {
    const json::Json& v = json::member(object, key);
    json::requireObject(v, key);
    std::map<std::string, std::string> out;
    CanonicalStringSet seen;
    for (auto it = v.begin(); it != v.end(); ++it) {
        std::string value = json::asString(it.value(), key);
        if (seen.contains(it.key()))
            continue;
        seen.insert(it.key());
        out.emplace(it.key(), std::move(value));
    }
    return out;
}

JapanesePartOfSpeech partOfSpeechFromJson(const json::Json& value, std::string_view what) {
    const std::string raw = json::asString(value, what);
    if (auto pos = partOfSpeechFromRaw(raw))
        return *pos;
    throw json::DecodingError(std::string(what) + ": unknown part of speech \"" + raw + "\"");
}

}  // namespace mivo::packs
