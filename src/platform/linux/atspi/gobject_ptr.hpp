#pragma once

// Owning handles for the GLib objects and buffers that libatspi hands out,
// so that no early return leaks a reference.

#include <glib-object.h>
#include <glib.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace mivo::linux_desktop {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr)
            g_object_unref(object);
    }
};

// Takes over one reference (transfer full).
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// A shared owner of one reference, for handles that copies share.
template <typename T>
std::shared_ptr<T> shareGObject(T* object) {
    return std::shared_ptr<T>(object, GObjectUnref{});
}

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

struct GArrayFree {
    void operator()(GArray* a) const {
        if (a != nullptr)
            g_array_free(a, TRUE);
    }
};
using GArrayPtr = std::unique_ptr<GArray, GArrayFree>;

// The out-parameter of one GLib call. Every libatspi call that can fail
// gets a fresh slot, and the caller looks at it before the result.
class GErrorSlot {
  public:
    GErrorSlot() = default;
    GErrorSlot(const GErrorSlot&) = delete;
    GErrorSlot& operator=(const GErrorSlot&) = delete;
    ~GErrorSlot() {
        if (error_ != nullptr)
            g_error_free(error_);
    }

    GError** out() { return &error_; }
    bool failed() const { return error_ != nullptr; }
    std::string message() const { return error_ != nullptr ? error_->message : std::string(); }

  private:
    GError* error_ = nullptr;
};

// A gchar* result (transfer full) as a string; nothing for null.
inline std::optional<std::string> takeString(gchar* s) {
    GCharPtr owned(s);
    if (owned == nullptr)
        return std::nullopt;
    return std::string(owned.get());
}

}  // namespace mivo::linux_desktop
