#include "ui/appearance.hpp"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <cstdlib>

namespace mivo::ui {

namespace {

constexpr auto portalService = "org.freedesktop.portal.Desktop";
constexpr auto portalPath = "/org/freedesktop/portal/desktop";
constexpr auto portalInterface = "org.freedesktop.portal.Settings";
constexpr auto appearanceNamespace = "org.freedesktop.appearance";
constexpr auto colorSchemeKey = "color-scheme";

// The portal wraps the value in one or two variants depending on its version.
std::optional<unsigned> unwrapUnsigned(QVariant value) {
    for (int depth = 0; depth < 3; ++depth) {
        if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
            value = value.value<QDBusVariant>().variant();
            continue;
        }
        bool ok = false;
        const unsigned number = value.toUInt(&ok);
        if (ok) {
            return number;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ColorScheme> parseColorScheme(std::string_view text) {
    if (text == "light") {
        return ColorScheme::light;
    }
    if (text == "dark") {
        return ColorScheme::dark;
    }
    return std::nullopt;
}

std::optional<ColorScheme> colorSchemeFromPortal(unsigned value) {
    switch (value) {
        case 1:
            return ColorScheme::dark;
        case 2:
            return ColorScheme::light;
        default:
            return std::nullopt;
    }
}

Appearance& Appearance::shared() {
    static Appearance* instance = new Appearance();  // lives as long as the process
    return *instance;
}

Appearance::Appearance() {
    if (const char* env = std::getenv("MIVO_APPEARANCE")) {
        override_ = parseColorScheme(env);
    }
    if (!override_) {
        auto bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            // A short bound: a missing portal must not hold up start-up.
            QDBusInterface portal(portalService, portalPath, portalInterface, bus);
            portal.setTimeout(300);
            if (portal.isValid()) {
                const QDBusMessage reply =
                    portal.call("Read", QString(appearanceNamespace), QString(colorSchemeKey));
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                    if (auto number = unwrapUnsigned(reply.arguments().first())) {
                        portal_ = colorSchemeFromPortal(*number);
                    }
                }
            }
            bus.connect(portalService, portalPath, portalInterface, "SettingChanged", this,
                        SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
        }
    }
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    scheme_ = resolve();
}

void Appearance::setOverride(std::optional<ColorScheme> scheme) {
    override_ = scheme;
    refresh();
}

bool Appearance::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange) {
        refresh();
    }
    return QObject::eventFilter(watched, event);
}

void Appearance::portalSettingChanged(const QString& ns, const QString& key,
                                      const QDBusVariant& value) {
    if (ns != appearanceNamespace || key != colorSchemeKey) {
        return;
    }
    if (auto number = unwrapUnsigned(value.variant())) {
        portal_ = colorSchemeFromPortal(*number);
    } else {
        portal_.reset();
    }
    refresh();
}

void Appearance::refresh() {
    const ColorScheme next = resolve();
    if (next != scheme_) {
        scheme_ = next;
        emit changed(scheme_);
    }
}

ColorScheme Appearance::resolve() const {
    if (override_) {
        return *override_;
    }
    if (portal_) {
        return *portal_;
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        const QColor window = QGuiApplication::palette().color(QPalette::Window);
        return window.lightness() < 128 ? ColorScheme::dark : ColorScheme::light;
    }
    return ColorScheme::light;
}

}  // namespace mivo::ui
