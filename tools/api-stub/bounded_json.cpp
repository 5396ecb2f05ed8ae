#include "bounded_json.hpp"

#include <malloc.h>

#include <string>

namespace mivo::stub {

namespace {

using nlohmann::json;

// Counts while the parser walks the text, and stops it at the first value
// past a bound: nothing of the text is kept.
class BoundCounter final : public nlohmann::json_sax<json> {
  public:
    explicit BoundCounter(JsonBounds bounds) : bounds_(bounds) {}

    bool null() override { return element(); }
    bool boolean(bool) override { return element(); }
    bool number_integer(number_integer_t) override { return element(); }
    bool number_unsigned(number_unsigned_t) override { return element(); }
    bool number_float(number_float_t, const string_t&) override { return element(); }
    bool string(string_t&) override { return element(); }
    bool binary(binary_t&) override { return element(); }
    bool start_object(std::size_t) override { return open(); }
    bool key(string_t&) override { return element(); }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

  private:
    bool element() { return ++elements_ <= bounds_.elements; }
    bool open() { return ++depth_ <= bounds_.depth && element(); }
    bool close() {
        --depth_;
        return true;
    }

    JsonBounds bounds_;
    std::size_t depth_ = 0;
    std::size_t elements_ = 0;
};

// Above this many bytes a text's tree and the parser's buffers are worth
// handing back to the system at once: the allocator keeps freed memory of
// its arenas for later otherwise, and many workers parsing at the same
// moment leave a great deal of it.
constexpr std::size_t kLargeText = 64 * 1024;

bool withinBounds(std::string_view text, JsonBounds bounds) {
    BoundCounter counter(bounds);
    return json::sax_parse(text, &counter);
}

void giveBackAfter(std::string_view text) {
    if (text.size() > kLargeText)
        ::malloc_trim(0);
}

template <class Json>
Json parseBounded(std::string_view text, JsonBounds bounds) {
    Json value(nlohmann::json::value_t::discarded);
    if (withinBounds(text, bounds))
        value = Json::parse(text, nullptr, false);
    giveBackAfter(text);
    return value;
}

}  // namespace

json parseBoundedJson(std::string_view text, JsonBounds bounds) {
    return parseBounded<json>(text, bounds);
}

nlohmann::ordered_json parseBoundedOrderedJson(std::string_view text, JsonBounds bounds) {
    return parseBounded<nlohmann::ordered_json>(text, bounds);
}

}  // namespace mivo::stub
