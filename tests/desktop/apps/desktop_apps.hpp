#pragma once

// The applications people write in, as the desktop tests drive them: each
// started once per test process with a private profile, found on the
// accessibility bus by its name, keys pressed through XTest, and the
// screen read back to see where a character really is.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.hpp"
#include "platform/geometry.hpp"

namespace mivo::desktop_test {

class DesktopSession;

class RunningApplication {
  public:
    ~RunningApplication();
    // The process as the bus knows it (a launcher script may have started
    // another one); 0 until it joined. LibreOffice restarts itself once on a
    // new profile, so a process that has ended is looked up again.
    Pid pid();
    const std::string& failure() const { return failure_; }
    QString folder() const { return folder_.path(); }

    // Starts `program`; `busName` is the application's name on the
    // accessibility bus. `prepare` may write files into the private folder
    // (profiles, documents) before the start and add to the arguments.
    static std::unique_ptr<RunningApplication> start(
        const QString& program, QStringList arguments, std::string busName,
        const QProcessEnvironment& extra = {},
        const std::function<void(const QString& folder, QStringList& arguments)>& prepare = {});

    // Waits until the application is on the bus.
    bool joined(double seconds);

  private:
    RunningApplication() = default;
    QTemporaryDir folder_;
    std::unique_ptr<QProcess> process_;
    std::string busName_;
    std::string failure_;
    Pid pid_ = 0;
};

// Presses the keys together and releases them in reverse (Ctrl+N, Ctrl+Z).
bool pressChord(DesktopSession& session, const std::vector<unsigned long>& keysyms);
inline bool pressChord(DesktopSession& session, std::initializer_list<unsigned long> keysyms) {
    return pressChord(session, std::vector<unsigned long>(keysyms));
}

// Rows of dark pixels in the columns of `box`, searched from `margin`
// above it to `margin` below it: where the glyphs drawn there really are.
struct InkRows {
    double top = 0;
    double bottom = 0;  // exclusive
};
std::optional<InkRows> inkRows(DesktopSession& session, const Rect& box, double margin);

}  // namespace mivo::desktop_test
