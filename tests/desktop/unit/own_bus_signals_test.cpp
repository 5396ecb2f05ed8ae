// Our own widgets' signals never reach libatspi, which would keep an object
// for each widget they name; everybody else's do, and so does everything
// that is not a signal. Which senders are ours is asked once each, and what
// is remembered of them stays bounded.

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/atspi/own_bus_signals.hpp"

namespace mivo::linux_desktop {
namespace {

constexpr Pid kOurs = 4242;
constexpr Pid kEditor = 77;

struct Message {
    const char* what;
    bool isSignal;
    const char* interface;
    const char* sender;
    bool dropped;
};

class OwnBusSignalsTest : public ::testing::Test {
  protected:
    OwnBusSignalsTest() {
        // Our Qt bridge, our own libatspi connection, the editor; the
        // registry's process is not known to the bus daemon.
        for (const char* sender : {":1.10", ":1.11", ":1.20", ":1.1"})
            signals_.drops(true, "org.a11y.atspi.Event.Object", sender);
        signals_.takeQuestions();
        signals_.noteProcess(":1.10", kOurs);
        signals_.noteProcess(":1.11", kOurs);
        signals_.noteProcess(":1.20", kEditor);
        signals_.noteProcess(":1.1", std::nullopt);
    }
    OwnBusSignals signals_{kOurs};
};

TEST_F(OwnBusSignalsTest, DropsOnlyOurSignalsThatLibatspiKeepsObjectsFor) {
    const Message rows[] = {
        {"our widget's state", true, "org.a11y.atspi.Event.Object", ":1.10", true},
        {"our window activated", true, "org.a11y.atspi.Event.Window", ":1.10", true},
        {"our focus", true, "org.a11y.atspi.Event.Focus", ":1.11", true},
        {"our cache addition", true, "org.a11y.atspi.Cache", ":1.10", true},
        {"the editor's text change", true, "org.a11y.atspi.Event.Object", ":1.20", false},
        {"the editor's cache addition", true, "org.a11y.atspi.Cache", ":1.20", false},
        {"a sender of unknown process", true, "org.a11y.atspi.Event.Object", ":1.1", false},
        {"a call to our key listener", false, "org.a11y.atspi.DeviceEventListener", ":1.10", false},
        {"a call to our text", false, "org.a11y.atspi.Event.Object", ":1.10", false},
        {"our signal of another interface", true, "org.a11y.atspi.Registry", ":1.10", false},
        {"a look-alike interface", true, "org.a11y.atspi.EventObject", ":1.10", false},
        {"the bus daemon's owner change", true, "org.freedesktop.DBus", "org.freedesktop.DBus",
         false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(signals_.drops(row.isSignal, row.interface, row.sender), row.dropped) << row.what;
    // Nothing was new: nobody is asked again.
    EXPECT_TRUE(signals_.takeQuestions().empty());
}

TEST_F(OwnBusSignalsTest, ANewSenderIsAskedOnceAndPassesUntilTheAnswer) {
    const struct {
        const char* what;
        std::optional<Pid> answer;
        bool droppedAfter;
    } rows[] = {
        {"ours", kOurs, true},
        {"another process", kEditor, false},
        {"no answer", std::nullopt, false},
    };
    int n = 30;
    for (const auto& row : rows) {
        const std::string sender = ":1." + std::to_string(n++);
        EXPECT_FALSE(signals_.drops(true, "org.a11y.atspi.Event.Object", sender)) << row.what;
        EXPECT_FALSE(signals_.drops(true, "org.a11y.atspi.Cache", sender)) << row.what;
        EXPECT_EQ(signals_.takeQuestions(), std::vector<std::string>{sender}) << row.what;
        signals_.noteProcess(sender, row.answer);
        EXPECT_EQ(signals_.drops(true, "org.a11y.atspi.Event.Object", sender), row.droppedAfter)
            << row.what;
        EXPECT_TRUE(signals_.takeQuestions().empty()) << row.what;
    }
    // An answer nobody asked for decides nothing.
    signals_.noteProcess(":1.99", kOurs);
    EXPECT_FALSE(signals_.drops(true, "org.a11y.atspi.Event.Object", ":1.99"));
}

TEST_F(OwnBusSignalsTest, ManySendersAreForgottenAndOursAskedAgain) {
    // Applications come and go for as long as the session lasts.
    for (int i = 0; i < 3 * static_cast<int>(OwnBusSignals::kMostSenders); ++i) {
        const std::string sender = ":2." + std::to_string(i);
        signals_.drops(true, "org.a11y.atspi.Event.Object", sender);
        for (const auto& asked : signals_.takeQuestions())
            signals_.noteProcess(asked, kEditor);
        ASSERT_LE(signals_.sendersKnown(), OwnBusSignals::kMostSenders);
    }
    // Our bridge was forgotten with the others: its signals pass while it
    // is asked about again, then are dropped.
    EXPECT_FALSE(signals_.drops(true, "org.a11y.atspi.Event.Object", ":1.10"));
    EXPECT_EQ(signals_.takeQuestions(), std::vector<std::string>{":1.10"});
    signals_.noteProcess(":1.10", kOurs);
    EXPECT_TRUE(signals_.drops(true, "org.a11y.atspi.Event.Object", ":1.10"));
}

}  // namespace
}  // namespace mivo::linux_desktop
