#pragma once

// The base of the desktop tests that run `mivo` itself as a child process,
// in folders of its own under a temporary home, drawn in the light
// appearance and with its widgets on the accessibility bus (so a test finds
// "Apply" as a user would see it). Its output is its log, shown when the
// test fails; it is stopped after every test.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#include "desktop_test_support.hpp"

typedef struct _XDisplay Display;

namespace mivo::desktop_test {

class MivoChildTest : public DesktopTest {
  protected:
    void TearDown() override;

    Display* display();

    // The settings, data and runtime folders (the runtime one private to
    // the user) and, when `onboarded` and there are no settings yet,
    // settings saying the onboarding is done.
    void prepareHome(bool onboarded = true);
    // What `mivo` runs with: its folders, the light appearance, no textlint
    // bridge, its widgets on the accessibility bus.
    QProcessEnvironment mivoEnvironment() const;
    // Starts `mivo` in `env` and waits until the process runs.
    void launchMivo(const QProcessEnvironment& env);
    void waitUntilMonitoring();
    Pid mivoPid() const { return static_cast<Pid>(mivo_->processId()); }

    QTemporaryDir home_;
    std::unique_ptr<QProcess> mivo_;
    QString log_;
};

}  // namespace mivo::desktop_test
