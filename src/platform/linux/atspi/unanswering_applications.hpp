#pragma once

// Applications that let a call run into its time-out. Every accessibility
// call is a synchronous request on the main loop; one hung application
// would otherwise cost the full time-out on each of the many calls of each
// poll. After a call to it timed out, calls to it are refused at once for a
// while, then one is let through to see whether it answers again; the while
// doubles with every time-out in a row, up to a bound, and an answer ends
// it. (An application can also be stuck only for a moment: one that asks
// us for the clipboard while we wait for its answer.)

#include <chrono>
#include <map>
#include <string>
#include <string_view>

namespace mivo::linux_desktop {

// A D-Bus failure that means the other side did not answer in time.
bool isNoReply(std::string_view message);

class UnansweringApplications {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kFirstQuiet = std::chrono::seconds(1);
    static constexpr auto kLongestQuiet = std::chrono::seconds(30);

    // While held input waits on an answer, an application is asked again
    // this soon after it let a call time out: its answer, when it comes,
    // lets the input go on at once.
    static constexpr auto kProbeWhileHeld = std::chrono::milliseconds(100);

    // The application (by its bus name) is left alone now; `probing`: for
    // at most kProbeWhileHeld since its last time-out.
    bool isQuiet(const std::string& application, Clock::time_point now, bool probing = false) const;
    // `probing`: the time-out of a probe while held input waits, which
    // does not make the application's later quiet any longer.
    void noteNoReply(const std::string& application, Clock::time_point now, bool probing = false);
    void noteAnswered(const std::string& application) { quiet_.erase(application); }
    // A call to the application timed out and it has answered none since.
    bool owesAnswer(const std::string& application) const { return quiet_.contains(application); }

  private:
    struct Quiet {
        Clock::time_point until;
        Clock::duration length;
    };
    std::map<std::string, Quiet> quiet_;
};

}  // namespace mivo::linux_desktop
