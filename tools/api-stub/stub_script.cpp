#include "stub_script.hpp"

#include "bounded_json.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace mivo::stub {

namespace {

using nlohmann::json;

ScriptedAnswer answerFrom(const json& entry) {
    if (!entry.is_object())
        throw std::invalid_argument("an entry must be an object");
    ScriptedAnswer a;
    if (auto it = entry.find("status"); it != entry.end()) {
        if (!it->is_number_integer() || it->get<long long>() < 100 || it->get<long long>() > 999)
            throw std::invalid_argument("\"status\" must be an integer from 100 to 999");
        a.status = it->get<int>();
    }
    if (auto it = entry.find("body"); it != entry.end())
        a.body = it->is_string() ? it->get<std::string>() : it->dump();
    if (auto it = entry.find("content_type"); it != entry.end()) {
        if (!it->is_string())
            throw std::invalid_argument("\"content_type\" must be a string");
        a.contentType = it->get<std::string>();
    }
    if (auto it = entry.find("delay"); it != entry.end()) {
        if (!it->is_number() || it->get<double>() < 0 || it->get<double>() > 600)
            throw std::invalid_argument("\"delay\" must be seconds from 0 to 600");
        a.delaySeconds = it->get<double>();
    }
    if (auto it = entry.find("drop"); it != entry.end()) {
        if (!it->is_boolean())
            throw std::invalid_argument("\"drop\" must be a boolean");
        a.drop = it->get<bool>();
    }
    if (auto it = entry.find("times"); it != entry.end()) {
        if (!it->is_number_integer())
            throw std::invalid_argument("\"times\" must be an integer");
        a.times = static_cast<int>(std::clamp<long long>(it->get<long long>(), -1, 1'000'000));
    }
    return a;
}

}  // namespace

std::optional<std::string> Script::load(std::string_view document) {
    const json parsed = parseBoundedJson(document);
    if (parsed.is_discarded() || !parsed.is_object())
        return "the script must be a JSON object from path to entries";
    std::map<std::string, std::deque<ScriptedAnswer>> entries;
    try {
        for (const auto& [path, value] : parsed.items()) {
            auto& queue = entries[path];
            if (value.is_array()) {
                for (const auto& e : value)
                    queue.push_back(answerFrom(e));
            } else {
                queue.push_back(answerFrom(value));
            }
        }
    } catch (const std::exception& e) {
        return e.what();
    }
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
    return std::nullopt;
}

void Script::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::optional<ScriptedAnswer> Script::take(const std::string& path) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(path);
    if (it == entries_.end() || it->second.empty())
        return std::nullopt;
    ScriptedAnswer& front = it->second.front();
    ScriptedAnswer answer = front;
    if (front.times > 0 && --front.times == 0)
        it->second.pop_front();
    return answer;
}

}  // namespace mivo::stub
