#pragma once

// Reading window properties with Xlib: nothing when a property is absent,
// of another type or format, or the window is gone.

#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace mivo::linux_desktop {

// Frees what Xlib handed out (property data, atom names, keyboard maps).
struct XFreeDeleter {
    void operator()(void* p) const;
};

// The items of a property of 32-bit format (which Xlib hands out as longs).
std::optional<std::vector<unsigned long>> cardinalProperty(Display* d, unsigned long window,
                                                           unsigned long property,
                                                           unsigned long type);
// A property of 8-bit format as text.
std::optional<std::string> stringProperty(Display* d, unsigned long window, unsigned long property,
                                          unsigned long type);

// While it lives, X errors of this process's requests are dropped instead
// of ending the process: a window can go away between listing it and asking
// about it. Requests made before it are flushed first, so their errors
// still reach the regular handler.
class XErrorTrap {
  public:
    explicit XErrorTrap(Display* d);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

  private:
    Display* display_;
    void (*previous_)();  // the handler before, kept as a plain function pointer
};

}  // namespace mivo::linux_desktop
