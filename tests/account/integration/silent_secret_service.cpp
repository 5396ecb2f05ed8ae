#include "silent_secret_service.hpp"

#include <gio/gio.h>

namespace mivo::testing {
namespace {

// Runs on GDBus's worker thread; taking the message and returning nothing
// drops it, so the caller waits for a reply that never comes.
GDBusMessage* dropCalls(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer) {
    if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
        g_object_unref(message);
        return nullptr;
    }
    return message;
}

}  // namespace

SilentSecretService::SilentSecretService() {
    thread_ = std::thread([this] { run(); });
    std::unique_lock lock(mutex_);
    readyChanged_.wait(lock, [this] { return ready_; });
}

SilentSecretService::~SilentSecretService() {
    {
        std::lock_guard lock(mutex_);
        // Queued on its context, so it stops the loop even when the loop has
        // not started running yet.
        if (loop_ != nullptr)
            g_main_context_invoke(
                g_main_loop_get_context(loop_),
                [](gpointer loop) {
                    g_main_loop_quit(static_cast<GMainLoop*>(loop));
                    return G_SOURCE_REMOVE;
                },
                loop_);
    }
    thread_.join();
}

void SilentSecretService::run() {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    GDBusConnection* connection = nullptr;
    bool owns = false;
    if (const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS")) {
        connection = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
    }
    if (connection != nullptr) {
        g_dbus_connection_add_filter(connection, dropCalls, nullptr, nullptr);
        // 4: do not queue; 1 in the answer: now the primary owner.
        GVariant* reply = g_dbus_connection_call_sync(
            connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.secrets", 4u),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (reply != nullptr) {
            guint32 code = 0;
            g_variant_get(reply, "(u)", &code);
            owns = code == 1;
            g_variant_unref(reply);
        }
    }
    {
        std::lock_guard lock(mutex_);
        owns_ = owns;
        loop_ = loop;
        ready_ = true;
    }
    readyChanged_.notify_all();
    if (connection != nullptr)
        g_main_loop_run(loop);
    {
        std::lock_guard lock(mutex_);
        loop_ = nullptr;
    }
    // Gone from the bus: callers still waiting get an error instead.
    if (connection != nullptr) {
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
    }
    g_main_loop_unref(loop);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
}

}  // namespace mivo::testing
