#pragma once

// The accessibility interface of other applications: their element trees, the
// attributes of each element by name, writes, and notifications. Every call is
// a synchronous request to the other application and may fail with an error
// code; nothing here throws.

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ax_element.hpp"
#include "platform/ax_names.hpp"
#include "platform/ax_value.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

using Pid = int32_t;

// Receives one notification: the element it concerns and its name.
using AXNotificationHandler =
    std::function<void(const AXElement& element, std::string_view notification)>;

// What an application said of one change of an element's text, where it
// says it: text inserted at an offset, or removed from it. Offsets and
// lengths count in the unit of the element's text-length mark
// (Accessibility::textLengthMark), which `unit` names.
struct AXTextChange {
    enum class Kind { inserted, removed };
    enum class Unit { utf16, codePoint };
    Kind kind = Kind::inserted;
    Unit unit = Unit::utf16;
    int64_t offset = 0;
    int64_t length = 0;
    std::string text;  // what was inserted or removed
    bool operator==(const AXTextChange&) const = default;
};

// Receives the details of a text change of a registered element; they
// arrive before the value-changed notification of the same change.
using AXTextChangeHandler = std::function<void(const AXElement& element, const AXTextChange&)>;

// Notifications of one application's elements, delivered on the main loop to
// the handler given when the observer was made. Destroying the observer
// removes every registration.
class AXObserver {
  public:
    virtual ~AXObserver() = default;
    virtual AXError addNotification(const AXElement& element, std::string_view notification) = 0;
    virtual AXError removeNotification(const AXElement& element, std::string_view notification) = 0;
    // The details of the text changes of the elements registered for
    // value changes, where the application tells them; an observer that
    // cannot tell them never calls the handler.
    virtual void setTextChangeHandler(AXTextChangeHandler /*handler*/) {}
};

// Which ways of writing into an element its application can be trusted
// with. A whole-value write replaces everything (in some editors the undo
// history then holds "delete all, insert all"); range writes (a paste over
// the selection, a replaced selection) change only the corrected range and
// go first wherever they are trusted.
struct WriteRouteTrust {
    bool wholeValue = true;
    bool range = false;
    // The text carries formatting (a word processor's runs): whatever is
    // written over gets plain text, so nothing is written over more than
    // one correction's own range.
    bool formatting = false;
    // The caret may be set while a write of ours is under way: between our
    // selection and the paste, and as soon as the paste shows. Chromium
    // then puts it at the field's start now and then.
    bool caretWhileWriting = true;
    bool operator==(const WriteRouteTrust&) const = default;
};

class Accessibility {
  public:
    virtual ~Accessibility() = default;
    // The same for every element of one application; by default the
    // whole-value write is taken first.
    virtual WriteRouteTrust writeRouteTrust(const AXElement& /*element*/) { return {}; }
    // A cheap mark of the element's text and caret (their lengths and
    // offsets, not the text) that differs after nearly every edit, so that
    // an idle field is not read whole again and again. Nothing where no such
    // mark can be had: then the text itself is compared.
    virtual std::optional<std::string> textChangeMark(const AXElement& /*element*/) {
        return std::nullopt;
    }
    // The text's length, asked without moving the text itself, to tell
    // whether it changed: comparable only with other answers of this call
    // for the same element (a backend may count in its toolkit's unit). By
    // default the UTF-16 length ("AXNumberOfCharacters").
    virtual std::optional<int64_t> textLengthMark(const AXElement& element);
    // A request to the element's application ran into its time-out and
    // nothing has been answered since: the application may still handle
    // it (a selection we asked for) whenever it runs again.
    virtual bool owesAnswer(const AXElement& /*element*/) { return false; }
    // Asks the element's application to put the caret at `utf16Offset`
    // without waiting for its answer, also while it does not answer: it
    // handles the request after every one sent to it before.
    virtual void requestCaret(const AXElement& element, int64_t utf16Offset);
    // Every call made until `deadline` gives up by then at the latest
    // (the calls of a write that must end by a bound); nothing: calls take
    // their usual time again.
    virtual void limitCallsUntil(std::optional<TimePoint> /*deadline*/) {}
    // While `awaited` answers true, every call gives up after a short
    // while, whatever else bounds it: the application about to fetch text
    // we put on the pasteboard answers no call until it has it, and our
    // loop, held up in the call, cannot hand the text over, so both sides
    // would wait until one of them gives up (the target, by dropping the
    // paste). Nothing: calls take their usual time again.
    virtual void limitCallsWhile(std::function<bool()> awaited);
    virtual bool callsLimitedNow() const;

    // Whether this process may use the interface at all. The prompting form
    // also asks the user (or the system) to allow it; both answer at once.
    virtual bool isProcessTrusted() = 0;
    virtual bool isProcessTrustedWithPrompt() = 0;

    virtual AXElement systemWideElement() = 0;
    virtual AXElement applicationElement(Pid pid) = 0;

    virtual AXResult copyAttributeValue(const AXElement& element, std::string_view attribute) = 0;
    virtual AXResult copyParameterizedAttributeValue(const AXElement& element,
                                                     std::string_view attribute,
                                                     const AXValue& parameter) = 0;
    virtual AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                                      const AXValue& value) = 0;
    virtual std::expected<bool, AXError> isAttributeSettable(const AXElement& element,
                                                             std::string_view attribute) = 0;
    virtual std::expected<Pid, AXError> pid(const AXElement& element) = 0;

    virtual std::expected<std::unique_ptr<AXObserver>, AXError> createObserver(
        Pid pid, AXNotificationHandler handler) = 0;

  private:
    std::function<bool()> callsLimitedWhile_;
};

}  // namespace mivo
