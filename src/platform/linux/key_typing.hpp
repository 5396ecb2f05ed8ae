#pragma once

// Typing keys in order on the main loop without ever blocking it. Unicode
// text is typed by lending spare key codes to each code point's keysym; a
// key code pressed moments ago must not be lent again yet, since the target
// may still be looking its last press up. Where the next key has to wait
// for that, the sequence stops and a timer picks it up again, and every key
// posted meanwhile (a Ctrl+V, a BackSpace) waits its turn behind it.
//
// Keys queued in one turn of the loop are held until the next turn, so that
// a text found untypable halfway (a letter under an input method) can be
// dropped whole before any of it reached the target.
//
// Plain C++ over a `KeyStrokes` sink, so that the pacing runs on the
// simulated clock in tests; XTestInput is the X side.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/cancel.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

// How long a lent key code keeps its keysym after its last press.
inline constexpr double kRemapQuarantineSeconds = 0.4;

// The unused key codes lent to keysyms, least recently used first to be lent
// again, none within the quarantine after its last press.
class SpareKeyPool {
  public:
    explicit SpareKeyPool(std::vector<unsigned char> keycodes);

    struct Lent {
        unsigned char keycode = 0;
        bool remap = false;  // the key code must be given the keysym first
    };
    // The key code for `keysym` now, or when none is free yet the moment one
    // will be; nothing without any key code.
    std::variant<Lent, TimePoint> lend(unsigned long keysym, TimePoint now);
    // The key code was pressed at `now` for its keysym.
    void pressed(unsigned char keycode, TimePoint now);

    bool empty() const { return keys_.empty(); }
    bool isSpare(unsigned char keycode) const;
    // The key codes that carry a keysym now.
    std::vector<unsigned char> lentKeycodes() const;

  private:
    struct Key {
        unsigned char keycode = 0;
        unsigned long keysym = 0;
        uint64_t lastUse = 0;
        TimePoint usedAt{};
    };
    std::vector<Key> keys_;
    uint64_t uses_ = 0;
};

// What the sequence asks of the keyboard.
class KeyStrokes {
  public:
    virtual ~KeyStrokes() = default;
    // A key of the user's layout that types `keysym` unshifted; nothing when
    // there is none.
    virtual std::optional<unsigned char> layoutKeycode(unsigned long keysym) = 0;
    // Gives the key code the keysym; the change has reached the server when
    // this returns.
    virtual bool remap(unsigned char keycode, unsigned long keysym) = 0;
    // Press and release of the key code.
    virtual bool press(unsigned char keycode) = 0;
    // Down or up of the layout's key for `keysym` (modifiers, Ctrl+V,
    // BackSpace).
    virtual bool key(unsigned long keysym, bool down) = 0;
};

class KeyTypingSequence {
  public:
    KeyTypingSequence(KeyStrokes& strokes, std::vector<unsigned char> spareKeycodes,
                      Scheduler& scheduler, Log& log);
    ~KeyTypingSequence();
    KeyTypingSequence(const KeyTypingSequence&) = delete;
    KeyTypingSequence& operator=(const KeyTypingSequence&) = delete;

    // Whether a keysym can be typed at all: a key of the layout types it or
    // a spare key code can be lent to it.
    bool canType(unsigned long keysym);
    // Queue a press and release of whatever key types `keysym`, from the
    // next turn of the loop on.
    void type(unsigned long keysym);
    // Queue a down or up of the layout's key for `keysym`.
    void key(unsigned long keysym, bool down);
    // Drops the keys queued in this turn of the loop; none of them is typed.
    void dropHeld();
    // Whether keys were queued in this turn of the loop.
    bool holding() const { return !held_.empty(); }

    // Keys still queued.
    std::size_t pending() const { return queue_.size() + held_.size(); }
    const SpareKeyPool& spareKeys() const { return spare_; }

  private:
    struct TypeKeysym {
        unsigned long keysym = 0;
    };
    struct LayoutKey {
        unsigned long keysym = 0;
        bool down = true;
    };
    using Step = std::variant<TypeKeysym, LayoutKey>;

    void hold(Step step);
    void run();
    // False when the step must wait; `waitUntil` says until when.
    bool perform(const Step& step, bool& ok, TimePoint& waitUntil);
    void fail(const std::string& why);

    KeyStrokes& strokes_;
    SpareKeyPool spare_;
    Scheduler& scheduler_;
    Log& log_;
    std::deque<Step> queue_;
    std::vector<Step> held_;
    Cancel start_;
    Cancel wake_;
    bool running_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mivo::linux_desktop
