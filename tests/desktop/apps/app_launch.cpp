#include "app_launch.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <array>

namespace mivo::desktop_test {
namespace {

void writeFile(const QString& path, const std::string& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content.data(), static_cast<qint64>(content.size()));
}

// One paragraph, 今日 in bold: a flat ODF document Writer opens as it is.
std::string writerDocument() {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:automatic-styles>
  <style:style style:name="B" style:family="text">
   <style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/>
  </style:style>
 </office:automatic-styles>
 <office:body><office:text>
  <text:p>)" +
           std::string("\U0001F600\U00020BB7") +
           R"(<text:span text:style-name="B">今日</text:span>は晴れです。</text:p>
 </office:text></office:body>
</office:document>
)";
}

std::string writerSettings() {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";
}

std::string thunderbirdPreferences() {
    // A local identity and no server: composing works, nothing is fetched.
    return R"(user_pref("mail.accountmanager.accounts", "account1");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.accountmanager.localfoldersserver", "server1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.server.server1.type", "none");
user_pref("mail.server.server1.hostname", "Local Folders");
user_pref("mail.server.server1.userName", "nobody");
user_pref("mail.server.server1.name", "Local Folders");
user_pref("mail.identity.id1.fullName", "Mivo Test");
user_pref("mail.identity.id1.useremail", "mivo@example.invalid");
user_pref("mail.identity.id1.compose_html", true);
user_pref("mail.identity.id1.valid", true);
user_pref("mail.shell.checkDefaultClient", false);
user_pref("mail.provider.enabled", false);
user_pref("mailnews.start_page.enabled", false);
user_pref("mail.spellcheck.inline", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("mail.rights.version", 1);
)";
}

}  // namespace

const char* appName(AppKind kind) {
    // Indexed by AppKind.
    constexpr std::array<const char*, 4> kNames{"Writer", "Thunderbird", "TextEditor", "KWrite"};
    return kNames.at(static_cast<std::size_t>(kind));
}

std::unique_ptr<RunningApplication> launch(AppKind kind, const std::string& text) {
    QProcessEnvironment env;
    switch (kind) {
        case AppKind::writer:
            env.insert("SAL_USE_VCLPLUGIN", "gtk3");
            return RunningApplication::start(
                "soffice", {}, "soffice", env, [](const QString& folder, QStringList& args) {
                    writeFile(folder + "/bold.fodt", writerDocument());
                    // No tip of the day over the document on the first start.
                    writeFile(folder + "/lo/user/registrymodifications.xcu", writerSettings());
                    args << "--norestore"
                         << "--nologo"
                         << "--nofirststartwizard"
                         << "-env:UserInstallation=file://" + folder + "/lo"
                         << "--writer" << folder + "/bold.fodt";
                });
        case AppKind::thunderbird:
            env.insert("MOZ_CRASHREPORTER_DISABLE", "1");
            env.insert("GNOME_ACCESSIBILITY", "1");
            return RunningApplication::start("thunderbird", {}, "Thunderbird", env,
                                             [](const QString& folder, QStringList& args) {
                                                 writeFile(folder + "/profile/user.js",
                                                           thunderbirdPreferences());
                                                 args << "--no-remote"
                                                      << "--profile" << folder + "/profile";
                                             });
        case AppKind::textEditor:
            return RunningApplication::start("gnome-text-editor", {"--standalone"},
                                             "gnome-text-editor", env);
        case AppKind::kwrite:
            return RunningApplication::start("kwrite", {}, "kwrite", env,
                                             [&text](const QString& folder, QStringList& args) {
                                                 writeFile(folder + "/note.txt", text);
                                                 args << folder + "/note.txt";
                                             });
    }
    return nullptr;
}

}  // namespace mivo::desktop_test
