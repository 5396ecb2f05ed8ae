// Which applications are which: the service's bundle identifiers, their
// Linux counterparts, and the refusal of code editors and terminals.

#include <gmock/gmock.h>

#include <string>

#include "tone/surface_tag_resolver.hpp"

namespace mivo {
namespace {

using SurfaceTagResolver::resolve;
using SurfaceTagResolver::SurfaceTag;

struct Case {
    std::optional<std::string> id;
    SurfaceTag tag;
};

void expectTable(std::initializer_list<Case> cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(resolve(c.id), c.tag) << c.id.value_or("(none)");
    }
}

TEST(SurfaceTagResolver, BundleIdentifiers) {
    expectTable({
        {"com.apple.mail", SurfaceTag::emailClient},
        {"COM.APPLE.MAIL", SurfaceTag::unknown},
        {"com.apple.Mail", SurfaceTag::unknown},
        {"com.microsoft.teams2", SurfaceTag::chatMessaging},
        {"com.microsoft.teams3", SurfaceTag::unknown},
        {"com.apple.iWork.Pages", SurfaceTag::wordProcessor},
        {"com.apple.reminders", SurfaceTag::notesPersonal},
        {"com.apple.Terminal", SurfaceTag::codeOrTerminal},
        {"com.kakao.KakaoTalkMac", SurfaceTag::chatMessaging},
        {"com.microsoft.loop", SurfaceTag::notesPersonal},
        {"com.sequel-ace.sequel-ace", SurfaceTag::codeOrTerminal},
        {"com.jetbrains.intellij", SurfaceTag::codeOrTerminal},
        {"com.jetbrains.", SurfaceTag::codeOrTerminal},
        {"com.jetbrains", SurfaceTag::unknown},
        {"com.apple.Safari", SurfaceTag::unknown},
        {"org.mozilla.firefox", SurfaceTag::unknown},
        {"app.zen-browser.zen", SurfaceTag::unknown},
        {std::nullopt, SurfaceTag::unknown},
        {"", SurfaceTag::unknown},
        {" com.apple.mail", SurfaceTag::unknown},
        {"com.apple.mail ", SurfaceTag::unknown},
    });
}

TEST(SurfaceTagResolver, LinuxApplicationIds) {
    expectTable({
        {"thunderbird", SurfaceTag::emailClient},
        {"org.gnome.Evolution", SurfaceTag::emailClient},
        {"libreoffice-writer", SurfaceTag::wordProcessor},
        {"libreoffice-calc", SurfaceTag::unknown},
        {"slack", SurfaceTag::chatMessaging},
        {"discord", SurfaceTag::chatMessaging},
        {"org.telegram.desktop", SurfaceTag::chatMessaging},
        {"signal", SurfaceTag::chatMessaging},
        {"obsidian", SurfaceTag::notesPersonal},
        {"code", SurfaceTag::codeOrTerminal},
        {"Code", SurfaceTag::codeOrTerminal},
        {"jetbrains-idea", SurfaceTag::codeOrTerminal},
        {"jetbrains-pycharm-ce", SurfaceTag::codeOrTerminal},
        {"jetbrains", SurfaceTag::unknown},
        {"org.gnome.Terminal", SurfaceTag::codeOrTerminal},
        {"org.kde.konsole", SurfaceTag::codeOrTerminal},
        {"kitty", SurfaceTag::codeOrTerminal},
        {"Alacritty", SurfaceTag::codeOrTerminal},
        {"xterm", SurfaceTag::codeOrTerminal},
        {"XTerm", SurfaceTag::codeOrTerminal},
        {"firefox", SurfaceTag::unknown},
        {"Chromium", SurfaceTag::unknown},
        {"gtk3-test-editor", SurfaceTag::unknown},
    });
}

TEST(SurfaceTagResolver, RawValuesRoundTrip) {
    const std::pair<SurfaceTag, const char*> raws[] = {
        {SurfaceTag::emailClient, "email_client"},
        {SurfaceTag::wordProcessor, "word_processor"},
        {SurfaceTag::chatMessaging, "chat_messaging"},
        {SurfaceTag::notesPersonal, "notes_personal"},
        {SurfaceTag::codeOrTerminal, "code_or_terminal"},
        {SurfaceTag::unknown, "unknown"},
    };
    for (const auto& [tag, raw] : raws) {
        EXPECT_EQ(SurfaceTagResolver::rawValue(tag), raw);
        EXPECT_EQ(SurfaceTagResolver::surfaceTagFromRaw(raw), tag);
    }
    EXPECT_FALSE(SurfaceTagResolver::surfaceTagFromRaw("Unknown").has_value());
    EXPECT_FALSE(SurfaceTagResolver::surfaceTagFromRaw("").has_value());
}

}  // namespace
}  // namespace mivo
