#include "platform/linux/x11/xtest_input.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_input_method.hpp"
#include "platform/linux/x11/x11_properties.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>

#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

// How many unused key codes to take for typing. An application looks a key
// code up when it handles the press, which can be well after we remapped
// the key code for a later character (GTK reads the whole keymap again on
// every mapping change and falls behind a fast typist). So a key code keeps
// its keysym as long as possible: a character typed again finds its key
// still mapped, and a key code is lent to a new keysym only when it is the
// least recently used of many.
constexpr std::size_t kMaxSpareKeycodes = 200;

class XiKeyDownMonitor : public KeyDownMonitor {
  public:
    explicit XiKeyDownMonitor(std::shared_ptr<XTestInput::MonitorState> state)
        : state_(std::move(state)) {}
    ~XiKeyDownMonitor() override { state_->alive = false; }
    void setEnabled(bool enabled) override { state_->enabled = enabled; }

  private:
    std::shared_ptr<XTestInput::MonitorState> state_;
};

}  // namespace

unsigned long keysymForCodePoint(char32_t c) {
    if (c == U'\n' || c == U'\r')
        return XK_Return;
    if (c == U'\t')
        return XK_Tab;
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c > 0x10FFFF)
        return 0;
    // Latin-1 keysyms are the code points themselves; every other code
    // point has the Unicode keysym 0x01000000 + code point.
    if (c < 0x100)
        return c;
    return 0x01000000UL + c;
}

XTestInput::XTestInput(X11Connection& x11, Scheduler& scheduler, Log& log,
                       std::function<Point()> primaryOrigin)
    : x11_(x11), scheduler_(scheduler), log_(log), primaryOrigin_(std::move(primaryOrigin)) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    xtest_ = XTestQueryExtension(x11_.display(), &eventBase, &errorBase, &major, &minor) != 0;
    if (!xtest_)
        log_.write("[Mivo] input: the X server has no XTest extension; synthetic input is off");
    hold_ = std::make_unique<X11InputHold>(x11_, scheduler_, log_);
    typing_ = std::make_unique<KeyTypingSequence>(
        static_cast<KeyStrokes&>(*this),
        xtest_ ? findSpareKeycodes() : std::vector<unsigned char>{}, scheduler_, log_);
}

XTestInput::~XTestInput() {
    listening_.cancel();
    // Give the borrowed key codes back empty.
    Display* d = x11_.display();
    for (unsigned char keycode : typing_->spareKeys().lentKeycodes()) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(d, keycode, 2, none, 1);
    }
    typing_.reset();
    hold_.reset();
    XFlush(d);
}

std::vector<unsigned char> XTestInput::findSpareKeycodes() {
    std::vector<unsigned char> spare;
    Display* d = x11_.display();
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(d, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    std::unique_ptr<KeySym, XFreeDeleter> map(XGetKeyboardMapping(
        d, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode));
    if (map == nullptr)
        return spare;
    // From the top down: the high key codes are the ones no keyboard has.
    for (int k = maxKeycode; k >= minKeycode && spare.size() < kMaxSpareKeycodes; --k) {
        const KeySym* syms = map.get() + static_cast<std::ptrdiff_t>(k - minKeycode) * perKeycode;
        if (std::all_of(syms, syms + perKeycode, [](KeySym s) { return s == NoSymbol; }))
            spare.push_back(static_cast<unsigned char>(k));
    }
    if (spare.empty())
        log_.write("[Mivo] input: no unused key code to type Unicode text with");
    return spare;
}

std::optional<unsigned char> XTestInput::layoutKeycode(unsigned long keysym) {
    Display* d = x11_.display();
    const KeyCode own = XKeysymToKeycode(d, keysym);
    if (own == 0 || XkbKeycodeToKeysym(d, own, 0, 0) != keysym)
        return std::nullopt;
    return own;
}

bool XTestInput::remap(unsigned char keycode, unsigned long keysym) {
    Display* d = x11_.display();
    KeySym syms[2] = {keysym, keysym};
    // Made while our XTest keyboard is on its master: a floating keyboard
    // misses the change, and the master would take its old mapping back
    // from it at our next key.
    hold_->postOwn([&] { XChangeKeyboardMapping(d, keycode, 2, syms, 1); });
    hold_->keymapChanged(keycode);
    // The new mapping must reach the server before the key that uses it.
    XSync(d, False);
    return true;
}

bool XTestInput::press(unsigned char keycode) {
    Display* d = x11_.display();
    bool ok = false;
    hold_->postOwn([&] {
        ok = XTestFakeKeyEvent(d, keycode, True, CurrentTime) != 0 &&
             XTestFakeKeyEvent(d, keycode, False, CurrentTime) != 0;
    });
    XFlush(d);
    return ok;
}

bool XTestInput::key(unsigned long keysym, bool down) {
    Display* d = x11_.display();
    const KeyCode keycode = XKeysymToKeycode(d, keysym);
    if (keycode == 0)
        return false;
    bool ok = false;
    hold_->postOwn(
        [&] { ok = XTestFakeKeyEvent(d, keycode, down ? True : False, CurrentTime) != 0; });
    XFlush(d);
    return ok;
}

bool XTestInput::queueLayoutKey(unsigned long keysym, bool down) {
    if (XKeysymToKeycode(x11_.display(), keysym) == 0)
        return false;
    typing_->key(keysym, down);
    return true;
}

std::string XTestInput::convertingInputMethodNow() {
    return convertingInputMethod(readInputMethodSignals(x11_));
}

bool XTestInput::postUnicode(const std::u16string& units) {
    const std::u32string codePoints = text::toCodePoints(text::fromUtf16(units));
    // Asked once per text: at its first key, when nothing of it is held yet.
    if (!typing_->holding())
        inputMethod_ = convertingInputMethodNow();
    for (char32_t c : codePoints) {
        if (!inputMethod_.empty() && convertedByInputMethod(c)) {
            typing_->dropHeld();
            log_.write("[Mivo] input: the " + inputMethod_ +
                       " input method would convert typed letters; the text is not typed");
            return false;
        }
        if (!typing_->canType(keysymForCodePoint(c))) {
            typing_->dropHeld();
            return false;
        }
    }
    for (char32_t c : codePoints)
        typing_->type(keysymForCodePoint(c));
    return true;
}

bool XTestInput::postKeyEvent(const KeyEvent& event) {
    if (!xtest_)
        return false;
    if (event.keyCode == kKeyCodeV && (event.flags & kEventFlagCommand) != 0) {
        // Ctrl goes down before V and comes up after it.
        if (event.keyDown)
            return queueLayoutKey(XK_Control_L, true) && queueLayoutKey(XK_v, true);
        const bool v = queueLayoutKey(XK_v, false);
        return queueLayoutKey(XK_Control_L, false) && v;
    }
    if (event.keyCode == kKeyCodeDelete && event.unicodeString.empty())
        return queueLayoutKey(XK_BackSpace, event.keyDown);
    if (event.keyCode == kKeyCodeRightArrow && event.unicodeString.empty())
        return queueLayoutKey(XK_Right, event.keyDown);
    if (event.keyCode == kKeyCodeUnicodeCarrier && !event.unicodeString.empty()) {
        // One event may carry several code points (a surrogate pair, a
        // combining sequence); each is a press and release of its own key,
        // all made on the key-down. The key-up has nothing left to do.
        if (!event.keyDown)
            return true;
        return postUnicode(event.unicodeString);
    }
    return false;
}

bool XTestInput::inputMethodRunning() {
    return linux_desktop::inputMethodRunning(readInputMethodSignals(x11_));
}

bool XTestInput::postMouseEvent(const MouseEvent& event) {
    if (!xtest_)
        return false;
    Display* d = x11_.display();
    const Point origin = primaryOrigin_ ? primaryOrigin_() : Point{};
    const int x = static_cast<int>(std::lround(event.location.x + origin.x));
    const int y = static_cast<int>(std::lround(event.location.y + origin.y));
    bool ok = false;
    // While the pointers are held, our drag moves the one pointer on the
    // screen: it goes back where the user left it when the hold ends.
    hold_->postOwn(
        [&] {
            ok = XTestFakeMotionEvent(d, -1, x, y, CurrentTime) != 0;
            if (event.type == MouseEventType::leftMouseDown)
                ok = ok && XTestFakeButtonEvent(d, 1, True, CurrentTime) != 0;
            else if (event.type == MouseEventType::leftMouseUp)
                ok = ok && XTestFakeButtonEvent(d, 1, False, CurrentTime) != 0;
        },
        true);
    XSync(d, False);
    return ok;
}

bool XTestInput::selectRawKeyEvents() {
    if (rawKeysSelected_)
        return true;
    Display* d = x11_.display();
    int event = 0;
    int error = 0;
    if (XQueryExtension(d, "XInputExtension", &xiOpcode_, &event, &error) == 0)
        return false;
    int major = 2;
    int minor = 0;
    if (XIQueryVersion(d, &major, &minor) != Success)
        return false;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    if (XISelectEvents(d, x11_.rootWindow(), &mask, 1) != Success)
        return false;
    XFlush(d);
    listening_ = x11_.listen([this](XEvent& e) {
        if (e.type != GenericEvent || e.xcookie.extension != xiOpcode_)
            return;
        if (e.xcookie.evtype != XI_RawKeyPress)
            return;
        for (const auto& weak : monitors_) {
            auto s = weak.lock();
            if (!s || !s->alive || !s->enabled)
                continue;
            scheduler_.after(0, [weak] {
                if (auto m = weak.lock(); m && m->alive)
                    m->handler(KeyDownMonitorEvent::keyDown);
            });
        }
    });
    rawKeysSelected_ = true;
    return true;
}

void XTestInput::setOnViewGesture(ViewGestureHandler handler) {
    viewGestures_.reset();
    if (handler)
        viewGestures_ = X11ViewGestures::open(scheduler_, log_, std::move(handler));
}

std::expected<std::unique_ptr<KeyDownMonitor>, KeyDownMonitorError>
XTestInput::installKeyDownMonitor(KeyDownHandler handler) {
    // X never switches a monitor off behind our back, so the handler hears
    // only key-downs.
    if (!selectRawKeyEvents()) {
        log_.write("[Mivo] input: the X server has no XInput 2 raw key events");
        return std::unexpected(KeyDownMonitorError::tapCreateFailed);
    }
    auto state = std::make_shared<MonitorState>();
    state->handler = std::move(handler);
    std::erase_if(monitors_, [](const auto& w) { return w.expired(); });
    monitors_.push_back(state);
    return std::make_unique<XiKeyDownMonitor>(std::move(state));
}

}  // namespace mivo::linux_desktop
