#include "refusal_log.hpp"

#include <bit>

namespace mivo::stub {

void RefusalLog::refused(std::optional<uid_t> owner) {
    const uint64_t count = ++count_;
    if (!std::has_single_bit(count))
        return;
    const std::string who =
        owner ? "of user " + std::to_string(*owner) : std::string("whose user could not be told");
    say_("refused a connection " + who + " (" + std::to_string(count) +
         " refused so far; only the user who started the stand-in is served)");
}

}  // namespace mivo::stub
