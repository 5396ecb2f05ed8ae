#include "platform/linux/x11/x11_clipboard_reader.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <array>

namespace mivo::linux_desktop {
namespace {

// Formats kept besides the text; anything else (application-private
// formats, bitmaps in other encodings) is let go.
constexpr std::array<const char*, 4> kKeptFormats = {"text/html", "text/uri-list", "text/rtf",
                                                     "image/png"};
constexpr long kMaxPropertyBytes = 8L << 20;

}  // namespace

std::vector<std::string> savedClipboardTargets(const std::vector<std::string>& offered) {
    std::vector<std::string> out;
    const auto has = [&](const std::string& t) {
        return std::find(offered.begin(), offered.end(), t) != offered.end();
    };
    if (has("UTF8_STRING"))
        out.emplace_back("UTF8_STRING");
    else if (has("text/plain;charset=utf-8"))
        out.emplace_back("text/plain;charset=utf-8");
    for (const char* kept : kKeptFormats) {
        if (has(kept))
            out.emplace_back(kept);
    }
    return out;
}

std::string pasteboardTypeForTarget(const std::string& target) {
    if (target == "UTF8_STRING" || target == "text/plain;charset=utf-8")
        return std::string(kPasteboardTypeString);
    return target;
}

std::unique_ptr<ClipboardReader> ClipboardReader::open() {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr)
        return nullptr;
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), -10, -10, 1, 1, 0, 0, 0);
    return std::unique_ptr<ClipboardReader>(new ClipboardReader(d, w));
}

ClipboardReader::ClipboardReader(Display* display, unsigned long window)
    : display_(display), window_(window) {}

ClipboardReader::~ClipboardReader() {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

std::optional<std::string> ClipboardReader::convert(unsigned long target,
                                                    std::chrono::steady_clock::time_point deadline,
                                                    unsigned long* typeOut, int* formatOut) {
    Display* d = display_;
    timedOut_ = false;
    const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    const Atom property = XInternAtom(d, "MIVO_CLIPBOARD_SAVE", False);
    XDeleteProperty(d, window_, property);
    XConvertSelection(d, clipboard, target, property, window_, CurrentTime);
    XFlush(d);
    XEvent event;
    for (;;) {
        if (XCheckTypedWindowEvent(d, window_, SelectionNotify, &event))
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        timedOut_ = left.count() <= 0;
        if (timedOut_)
            return std::nullopt;
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
    if (event.xselection.property == None)
        return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(d, window_, property, 0, kMaxPropertyBytes / 4, True,
                                          AnyPropertyType, &type, &format, &count, &after, &data);
    std::optional<std::string> out;
    // INCR (a transfer in pieces) and anything cut short is too large to keep.
    if (status == Success && data != nullptr && after == 0 &&
        type != XInternAtom(d, "INCR", False)) {
        const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
        out = std::string(reinterpret_cast<const char*>(data), count * unit);
    }
    if (data != nullptr)
        XFree(data);
    if (typeOut != nullptr)
        *typeOut = type;
    if (formatOut != nullptr)
        *formatOut = format;
    return out;
}

std::optional<std::vector<PasteboardEntry>> ClipboardReader::read(
    std::chrono::milliseconds budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    Display* d = display_;
    if (XGetSelectionOwner(d, XInternAtom(d, "CLIPBOARD", False)) == None)
        return std::vector<PasteboardEntry>{};
    int format = 0;
    const auto targets = convert(XInternAtom(d, "TARGETS", False), deadline, nullptr, &format);
    if (!targets && timedOut_)
        return std::nullopt;
    if (!targets || format != 32)
        return std::vector<PasteboardEntry>{};
    std::vector<std::string> offered;
    const auto* atoms = reinterpret_cast<const long*>(targets->data());
    for (std::size_t i = 0; i < targets->size() / sizeof(long); ++i) {
        char* name = XGetAtomName(d, static_cast<Atom>(atoms[i]));
        if (name != nullptr) {
            offered.emplace_back(name);
            XFree(name);
        }
    }
    std::vector<PasteboardEntry> out;
    for (const std::string& target : savedClipboardTargets(offered)) {
        auto data = convert(XInternAtom(d, target.c_str(), False), deadline);
        if (data)
            out.push_back(PasteboardEntry{pasteboardTypeForTarget(target), std::move(*data)});
        else if (timedOut_ && pasteboardTypeForTarget(target) == kPasteboardTypeString)
            return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
    }
    return out;
}

}  // namespace mivo::linux_desktop
