#include "platform/linux/atspi/unanswering_applications.hpp"

#include <algorithm>
#include <array>

namespace mivo::linux_desktop {

bool isNoReply(std::string_view message) {
    // libatspi's own time-out, then D-Bus's and GLib's words for it.
    static constexpr std::array<std::string_view, 4> kNoReply = {
        "timeout from dbind", "Did not receive a reply", "Timeout was reached", "NoReply"};
    for (auto fragment : kNoReply) {
        if (message.find(fragment) != std::string_view::npos)
            return true;
    }
    return false;
}

bool UnansweringApplications::isQuiet(const std::string& application, Clock::time_point now,
                                      bool probing) const {
    const auto it = quiet_.find(application);
    if (it == quiet_.end())
        return false;
    const Clock::time_point since = it->second.until - it->second.length;
    return now < (probing ? std::min(it->second.until, since + Clock::duration(kProbeWhileHeld))
                          : it->second.until);
}

void UnansweringApplications::noteNoReply(const std::string& application, Clock::time_point now,
                                          bool probing) {
    const auto it = quiet_.find(application);
    const Clock::duration length =
        it == quiet_.end() ? Clock::duration(kFirstQuiet)
        : probing
            ? it->second.length
            : std::min<Clock::duration>(it->second.length * 2, Clock::duration(kLongestQuiet));
    quiet_[application] = Quiet{now + length, length};
}

}  // namespace mivo::linux_desktop
