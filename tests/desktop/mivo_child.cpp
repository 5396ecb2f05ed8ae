#include "mivo_child.hpp"

#include <cstdlib>

#include <QDir>
#include <QFile>

#include <fstream>
#include <iostream>

namespace mivo::desktop_test {

void MivoChildTest::TearDown() {
    if (mivo_ != nullptr && mivo_->state() != QProcess::NotRunning) {
        mivo_->terminate();
        if (!mivo_->waitForFinished(3000))
            mivo_->kill();
        mivo_->waitForFinished(2000);
    }
    if (HasFailure())
        std::cerr << "mivo's log:\n" << log_.toStdString() << "\n";
}

Display* MivoChildTest::display() {
    return session_->desktop().x11().display();
}

void MivoChildTest::prepareHome(bool onboarded) {
    ASSERT_TRUE(home_.isValid());
    const QString config = home_.path() + "/config";
    const QString runtime = home_.path() + "/run";
    for (const QString& dir : {config + "/Mivo", home_.path() + "/data", runtime})
        QDir().mkpath(dir);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (onboarded && !QFile::exists(config + "/Mivo/defaults.json"))
        std::ofstream(config.toStdString() + "/Mivo/defaults.json")
            << R"({"onboarding.hasCompleted": true, "onboarding.schemaVersion": 1})";
}

QProcessEnvironment MivoChildTest::mivoEnvironment() const {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home_.path() + "/config");
    env.insert("XDG_RUNTIME_DIR", home_.path() + "/run");
    env.insert("XDG_DATA_HOME", home_.path() + "/data");
    env.insert("MIVO_APPEARANCE", "light");
    env.insert("MIVO_TEXTLINT_BRIDGE", "0");
    env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    return env;
}

void MivoChildTest::launchMivo(const QProcessEnvironment& env) {
    mivo_ = std::make_unique<QProcess>();
    mivo_->setProcessEnvironment(env);
    mivo_->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(mivo_.get(), &QProcess::readyRead,
                     [this] { log_ += QString::fromUtf8(mivo_->readAll()); });
    // Another build's `mivo` (the one before a change, for a bench).
    const char* other = std::getenv("MIVO_BIN");
    mivo_->start(other != nullptr && *other != '\0' ? QString::fromLocal8Bit(other) : MIVO_APP, {});
    ASSERT_TRUE(mivo_->waitForStarted(5000));
}

void MivoChildTest::waitUntilMonitoring() {
    ASSERT_TRUE(waitUntil([this] { return log_.contains("start: monitoring started"); }, 15))
        << "mivo did not start monitoring";
}

}  // namespace mivo::desktop_test
