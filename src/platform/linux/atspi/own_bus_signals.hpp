#pragma once

// Mivo's own signals on the accessibility bus, dropped before libatspi reads
// them. libatspi keeps an object for every object that an event or a cache
// signal names, for as long as the sending application runs, unless the
// application announces the object's removal with a cache signal; Qt's
// bridge never does. Our correction panel is made anew at every show, so
// every correction left about ten such objects behind for good. Mivo never
// reads its own widgets over the bus (a call to itself would wait on the
// loop that has to answer it): none of these signals is of use to it.
//
// Which connections are ours comes from the bus daemon, asked once per
// sender without waiting; a sender's signals pass until the answer.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.hpp"

typedef struct DBusConnection DBusConnection;

namespace mivo::linux_desktop {

class OwnBusSignals {
  public:
    // Senders remembered at most; past it they are forgotten and asked
    // about again (unique bus names are never reused).
    static constexpr std::size_t kMostSenders = 256;

    explicit OwnBusSignals(Pid ownPid) : ownPid_(ownPid) {}

    // Whether a signal of `interface` from `sender` is one of ours that
    // libatspi would keep objects for. Method calls never are.
    bool drops(bool isSignal, std::string_view interface, std::string_view sender);
    // The senders seen for the first time since the last call, to ask the
    // bus daemon about.
    std::vector<std::string> takeQuestions();
    // The bus daemon's answer: the sender's process, none when it could
    // not tell.
    void noteProcess(const std::string& sender, std::optional<Pid> pid);

    std::size_t sendersKnown() const { return senders_.size(); }

  private:
    enum class Sender { asked, ours, other };

    Pid ownPid_;
    std::map<std::string, Sender, std::less<>> senders_;
    std::vector<std::string> questions_;
};

// Puts a filter dropping our own signals in front of libatspi's on its
// connection; to be called before atspi_init, once a process.
void dropOwnSignals(DBusConnection* bus, Pid ownPid);

}  // namespace mivo::linux_desktop
