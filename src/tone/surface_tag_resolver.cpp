#include "tone/surface_tag_resolver.hpp"

#include <array>
#include <string>
#include <unordered_map>

namespace mivo::SurfaceTagResolver {

namespace {

using Table = std::unordered_map<std::string_view, SurfaceTag>;

void add(Table& table, SurfaceTag tag, std::initializer_list<std::string_view> ids) {
    for (auto id : ids)
        table.emplace(id, tag);
}

// The service's own list of applications, by bundle identifier.
const Table& directMap() {
    static const Table table = [] {
        Table t;
        add(t, SurfaceTag::emailClient,
            {"com.apple.mail", "com.microsoft.Outlook", "org.mozilla.thunderbird",
             "com.readdle.smartemail-Mac", "it.bloop.airmail3", "com.basecamp.hey-desktop",
             "com.mailspring.mailspring", "com.mimestream.Mimestream", "com.postbox-inc.postbox",
             "com.emclient.mailclient"});
        add(t, SurfaceTag::wordProcessor,
            {"com.microsoft.Word", "com.apple.iWork.Pages", "org.libreoffice.script",
             "org.openoffice.script", "com.kingsoft.wpsoffice.mac",
             "com.literatureandlatte.scrivener3", "com.soulmen.ulysses-setapp", "pro.writer.mac",
             "abnerworks.Typora"});
        add(t, SurfaceTag::chatMessaging,
            {"com.tinyspeck.slackmacgap",
             "com.microsoft.teams",
             "com.microsoft.teams2",
             "com.hnc.Discord",
             "net.whatsapp.WhatsApp",
             "ru.keepcoder.Telegram",
             "org.whispersystems.signal-desktop",
             "com.apple.MobileSMS",
             "com.skype.skype",
             "us.zoom.xos",
             "com.mattermost.desktop",
             "im.riot.app",
             "jp.naver.line.mac",
             "jp.naver.linework.app",
             "com.chatwork.desktop-app",
             "com.lisl.directapp",
             "com.larksuite.lark",
             "com.alibaba.dingtalk.desktop",
             "com.tencent.xinWeChat",
             "com.kakao.KakaoTalkMac"});
        add(t, SurfaceTag::notesPersonal,
            {"com.apple.Notes", "notion.id", "md.obsidian", "net.shinyfrog.bear",
             "com.evernote.Evernote", "com.microsoft.onenote.mac", "com.logseq.logseq",
             "com.bloombuilt.dayone-mac", "com.lukilabs.lukiapp", "net.cozic.joplin-desktop",
             "com.apple.reminders", "com.culturedcode.ThingsMac", "com.ticktick.task.mac",
             "com.agiletortoise.Drafts-OSX", "org.standardnotes.standardnotes",
             "com.microsoft.loop"});
        add(t, SurfaceTag::codeOrTerminal,
            {"com.microsoft.VSCode",
             "com.microsoft.VSCodeInsiders",
             "com.todesktop.230313mzl4w4u92",
             "com.exafunction.windsurf",
             "dev.zed.Zed",
             "com.apple.dt.Xcode",
             "com.sublimetext.4",
             "com.panic.Nova",
             "com.google.android.studio",
             "com.github.atom",
             "com.barebones.bbedit",
             "com.macromates.TextMate",
             "com.apple.Terminal",
             "com.googlecode.iterm2",
             "dev.warp.Warp-Stable",
             "co.zeit.hyper",
             "com.github.wez.wezterm",
             "org.tabby",
             "net.kovidgoyal.kitty",
             "com.mitchellh.ghostty",
             "org.alacritty",
             "com.github.GitHubClient",
             "com.fournova.Tower3",
             "com.torusknot.SourceTreeNotMAS",
             "com.DanPristupov.Fork",
             "com.axosoft.gitkraken",
             "com.postmanlabs.mac",
             "com.insomnia.app",
             "com.usebruno.app",
             "com.tinyapp.TablePlus",
             "org.jkiss.dbeaver.core.product",
             "com.sequel-ace.sequel-ace"});
        return t;
    }();
    return table;
}

// The same kinds of application on Linux: desktop-file ids (from the toolkit,
// Flatpak ids included) and X11 window classes, each spelled as the
// application reports it.
const Table& linuxMap() {
    static const Table table = [] {
        Table t;
        add(t, SurfaceTag::emailClient,
            {"thunderbird", "Thunderbird", "org.mozilla.Thunderbird", "net.thunderbird.Thunderbird",
             "org.gnome.Evolution", "evolution", "Evolution", "org.kde.kmail2", "kmail", "geary",
             "org.gnome.Geary", "Mailspring", "mailspring"});
        add(t, SurfaceTag::wordProcessor,
            {"libreoffice-writer", "org.libreoffice.LibreOffice.writer", "abiword", "AbiWord",
             "com.abisource.AbiWord", "wps", "Typora", "typora", "io.typora.Typora"});
        add(t, SurfaceTag::chatMessaging,
            {"slack", "Slack", "com.slack.Slack", "discord", "com.discordapp.Discord",
             "org.telegram.desktop", "TelegramDesktop", "telegram-desktop", "signal", "Signal",
             "signal-desktop", "org.signal.Signal", "Element", "im.riot.Riot", "teams-for-linux",
             "zoom", "Mattermost", "org.gnome.Fractal", "org.kde.neochat"});
        add(t, SurfaceTag::notesPersonal,
            {"obsidian", "md.obsidian.Obsidian", "Joplin", "net.cozic.joplin_desktop", "Logseq",
             "com.logseq.Logseq", "org.gnome.Notes", "com.github.flxzt.rnote"});
        add(t, SurfaceTag::codeOrTerminal,
            {"code",
             "Code",
             "code-oss",
             "com.visualstudio.code",
             "codium",
             "VSCodium",
             "com.vscodium.codium",
             "cursor",
             "Cursor",
             "zed",
             "sublime_text",
             "Sublime_text",
             "com.sublimetext.three",
             "org.kde.kate",
             "kate",
             "emacs",
             "Emacs",
             "gvim",
             "Gvim",
             "org.gnome.Builder",
             "org.gnome.Terminal",
             "gnome-terminal-server",
             "Gnome-terminal",
             "org.gnome.Console",
             "kgx",
             "org.kde.konsole",
             "konsole",
             "kitty",
             "Alacritty",
             "xterm",
             "XTerm",
             "UXTerm",
             "URxvt",
             "foot",
             "org.wezfurlong.wezterm",
             "terminator",
             "Terminator",
             "com.gexperts.Tilix",
             "xfce4-terminal",
             "Xfce4-terminal",
             "lxterminal",
             "qterminal",
             "st-256color"});
        return t;
    }();
    return table;
}

constexpr std::array<std::string_view, 2> codeOrTerminalPrefixes{"com.jetbrains.", "jetbrains-"};

}  // namespace

std::string_view rawValue(SurfaceTag tag) {
    switch (tag) {
        case SurfaceTag::emailClient:
            return "email_client";
        case SurfaceTag::wordProcessor:
            return "word_processor";
        case SurfaceTag::chatMessaging:
            return "chat_messaging";
        case SurfaceTag::notesPersonal:
            return "notes_personal";
        case SurfaceTag::codeOrTerminal:
            return "code_or_terminal";
        case SurfaceTag::unknown:
            return "unknown";
    }
    return "unknown";
}

std::optional<SurfaceTag> surfaceTagFromRaw(std::string_view raw) {
    for (auto tag : {SurfaceTag::emailClient, SurfaceTag::wordProcessor, SurfaceTag::chatMessaging,
                     SurfaceTag::notesPersonal, SurfaceTag::codeOrTerminal, SurfaceTag::unknown}) {
        if (rawValue(tag) == raw)
            return tag;
    }
    return std::nullopt;
}

SurfaceTag resolve(std::optional<std::string_view> bundleIdentifier) {
    if (!bundleIdentifier || bundleIdentifier->empty())
        return SurfaceTag::unknown;
    const std::string_view id = *bundleIdentifier;
    if (auto it = directMap().find(id); it != directMap().end())
        return it->second;
    if (auto it = linuxMap().find(id); it != linuxMap().end())
        return it->second;
    for (auto prefix : codeOrTerminalPrefixes) {
        if (id.starts_with(prefix))
            return SurfaceTag::codeOrTerminal;
    }
    return SurfaceTag::unknown;
}

}  // namespace mivo::SurfaceTagResolver
