#include "platform/linux/x11/x11_properties.hpp"

#include <X11/Xlib.h>

#include <memory>

namespace mivo::linux_desktop {
namespace {

struct RawProperty {
    std::unique_ptr<unsigned char, XFreeDeleter> data;
    unsigned long count = 0;
};

std::optional<RawProperty> readProperty(Display* d, unsigned long window, unsigned long property,
                                        unsigned long type, int format, long length) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    const int status = XGetWindowProperty(d, window, property, 0, length, False, type, &actualType,
                                          &actualFormat, &count, &remaining, &raw);
    RawProperty read{std::unique_ptr<unsigned char, XFreeDeleter>(raw), count};
    if (status != Success || actualType != type || actualFormat != format || read.data == nullptr)
        return std::nullopt;
    return read;
}

int dropError(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

void XFreeDeleter::operator()(void* p) const {
    if (p != nullptr)
        XFree(p);
}

std::optional<std::vector<unsigned long>> cardinalProperty(Display* d, unsigned long window,
                                                           unsigned long property,
                                                           unsigned long type) {
    auto read = readProperty(d, window, property, type, 32, 4096);
    if (!read)
        return std::nullopt;
    const auto* items = reinterpret_cast<const unsigned long*>(read->data.get());
    return std::vector<unsigned long>(items, items + read->count);
}

std::optional<std::string> stringProperty(Display* d, unsigned long window, unsigned long property,
                                          unsigned long type) {
    auto read = readProperty(d, window, property, type, 8, 1024);
    if (!read)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(read->data.get()), read->count);
}

XErrorTrap::XErrorTrap(Display* d) : display_(d) {
    XSync(display_, False);
    previous_ = reinterpret_cast<void (*)()>(XSetErrorHandler(dropError));
}

XErrorTrap::~XErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous_));
}

}  // namespace mivo::linux_desktop
