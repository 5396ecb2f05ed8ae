#pragma once

// The simulated desktop: applications, windows and element trees in memory,
// behind every port, on a virtual clock. A test builds the scene, acts as the
// user (switches applications, focuses, types, selects, copies) and scripts
// the quirks of real applications; the service under test sees it all only
// through the ports.

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ax_call_counter.hpp"
#include "platform/desktop.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/sim_pasteboard.hpp"
#include "platform/sim/sim_screens.hpp"
#include "platform/sim/sim_text.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo::sim {

using SimId = uint64_t;

class SimAccessibility;
class SimWorkspace;
class SimInput;

// How an element answers a write of one attribute.
struct WriteQuirk {
    enum class Kind {
        ignored,     // reports success, changes nothing
        lagging,     // reports success, takes effect `lagSeconds` later
        failing,     // reports `error`
        leavesTail,  // a selected-text write keeps the selection's last
                     // `tailCharacters` Characters behind the new text
        stops,       // the application stops as the write reaches it, for
                     // `lagSeconds`: the write runs into its time-out, and
                     // is handled when it runs again (once)
    };
    Kind kind = Kind::ignored;
    double lagSeconds = 0;
    AXError error = AXError::cannotComplete;
    int64_t tailCharacters = 1;

    static WriteQuirk ignore() { return {Kind::ignored}; }
    static WriteQuirk lag(double s) { return {Kind::lagging, s}; }
    static WriteQuirk fail(AXError e) { return {Kind::failing, 0, e}; }
    static WriteQuirk leaveTail(int64_t n) { return {Kind::leavesTail, 0, {}, n}; }
    static WriteQuirk stop(double s) { return {Kind::stops, s}; }
};

// How a field takes synthetic keyboard input.
struct InputQuirk {
    // Command-V lands this much later and pastes what the pasteboard holds then.
    double pasteDelaySeconds = 0;
    bool ignoresPaste = false;
    bool ignoresTyping = false;
    // Paste or typing over a selection keeps its last Characters behind.
    int64_t leavesTailCharacters = 0;
    // Like a toolkit that fetches the pasteboard late and waits for its
    // owner without answering anything else: from Command-V until its late
    // paste the application answers no accessibility call, and a call
    // meanwhile costs it the paste (it gives up waiting, as browsers do).
    bool answersNoCallsWhilePasting = false;
};

struct TextFieldOptions {
    std::string role = "AXTextField";
    std::optional<Rect> frame;  // accessibility coordinates; laid out when absent
    double characterWidth = 10;
    double lineHeight = 20;
    bool editable = true;
    // Like a web editor: the lines of the text are also exposed as
    // "AXStaticText" children, kept in step with every edit.
    bool fragmentBacked = false;
};

// Answers a parameterised read before the simulated field does; nothing lets
// the field answer.
using ParameterizedHook =
    std::function<std::optional<AXResult>(std::string_view attribute, const AXValue& parameter)>;

class SimDesktop {
  public:
    SimDesktop();
    ~SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    Desktop ports();
    VirtualClock& clock() { return clock_; }
    CapturedLog& log() { return log_; }
    SimPasteboard& pasteboard() { return pasteboard_; }
    SimScreens& screens() { return screens_; }
    SimAccessibility& accessibility() { return *accessibility_; }
    // Every call the services made through the accessibility port, by kind.
    AXCallCounter& accessibilityCalls() { return countedAccessibility_->calls(); }
    SimWorkspace& workspace() { return *workspace_; }
    SimInput& input() { return *input_; }

    // --- The scene ------------------------------------------------------
    SimId addApplication(Pid pid, std::optional<std::string> name = std::nullopt,
                         std::optional<std::string> bundleIdentifier = std::nullopt);
    SimId addWindow(Pid pid, std::string title, std::optional<Rect> frame = std::nullopt);
    SimId addElement(SimId parent, std::string role, std::optional<Rect> frame = std::nullopt);
    SimId addTextField(SimId parent, std::string text, TextFieldOptions options = {});
    SimId addStaticText(SimId parent, std::string text, std::optional<Rect> frame = std::nullopt);
    void setFrame(SimId id, Rect frame);

    // Scripted attributes take precedence over what the element derives from
    // its contents: a value (of any type, so also a wrong one), no value, or
    // an error. Settable ones take writes as they are.
    void setAttribute(SimId id, std::string attribute, AXValue value, bool settable = false);
    void setAttributeAbsent(SimId id, std::string attribute);
    void setAttributeError(SimId id, std::string attribute, AXError error);
    void removeScriptedAttribute(SimId id, std::string_view attribute);
    void setWriteQuirk(SimId id, std::string attribute, WriteQuirk quirk);
    void removeWriteQuirk(SimId id, std::string_view attribute);
    void setInputQuirk(SimId id, InputQuirk quirk);
    // Which write routes the element's application is trusted with.
    void setWriteRouteTrust(SimId id, WriteRouteTrust trust);
    void setParameterizedHook(SimId id, ParameterizedHook hook);
    void setObserverCreationFails(Pid pid, bool fails);
    void setTrusted(bool trusted) { trusted_ = trusted; }

    // The element and its descendants stop existing ("invalid element").
    void destroy(SimId id);
    void quitApplication(Pid pid);
    // The application is stopped (SIGSTOP) for `seconds` from now. The
    // first call that reaches it meanwhile runs into its time-out, and a
    // write among them is still handled once it runs again; calls after
    // that are refused at once, as calls to an application that let one
    // time out are. Keys and pastes for it wait in its queue and are
    // handled when it runs again, after what reached it before them.
    void stopApplication(Pid pid, double seconds);

    // --- The user -------------------------------------------------------
    // Brings an application to the front; observers hear of it.
    void activateApplication(Pid pid);
    // An activation notification as the system may send it, also one that
    // names no application.
    void postActivationNotification(std::optional<RunningApplication> app);
    void focus(SimId id);
    // The focus moves and the application's notification of it is lost on
    // the way.
    void focusUnannounced(SimId id);
    void clearFocus(Pid pid);
    // A document of blocks (a browser's rich text after Return, Writer's
    // paragraphs) moves its caret into `block`, one of its children: the
    // focus stays on the document, the application names the block as its
    // focused field and tells of it as a focus change, as AT-SPI does for
    // the caret going into another paragraph. 0: back into the document's
    // own text.
    void moveCaretIntoBlock(SimId document, SimId block, bool announced = true);
    // Whether a caret set over the bus into another block of a document is
    // told of as a focus change (Firefox, under a program's grab of the
    // pointer, says nothing); on unless switched off.
    void setTellsCaretSetIntoBlock(bool tells) { tellsCaretSetIntoBlock_ = tells; }
    // Whether a caret set over the bus in a document's own text, at the
    // object character of one of its blocks, goes to that block's start
    // (Firefox), rather than staying at the end of the line before it.
    void setCaretAtObjectEntersBlock(bool enters) { caretAtObjectEntersBlock_ = enters; }
    void setWindowTitle(SimId window, std::string title);
    // Edits as the application itself makes them, with their notifications.
    void setText(SimId id, std::string value);
    // Whether edits tell what changed (offset, length, text) with their
    // value-changed notification, as AT-SPI's text-changed events do; on
    // unless switched off.
    void setTellsTextChanges(bool tells) { tellsTextChanges_ = tells; }
    // How long the applications' notifications and change reports take to
    // reach the observers (a busy bus): a read made meanwhile already finds
    // the change they tell of.
    void setNotificationLag(double seconds) { notificationLag_ = seconds; }
    void select(SimId id, Utf16Range range);
    // A click into a field, the user's or another program's: the field
    // focused and the caret where the click put it (also where it stood
    // already). Held, like every click, while the devices are held.
    void click(SimId id, Utf16Range caret);
    // The pointer moves off the field after a click: a click that has not
    // reached its application yet becomes a drag from its caret to the end
    // of the text. Held like any other.
    void movePointerAway();
    // A click on the page beside any field (a browser's page, a toolbar):
    // it moves no caret; held like any other.
    void clickBeside();
    // Clicks beside any field that reached the page so far.
    int clicksBesideDone() const { return clicksBesideDone_; }
    // The user's keys into the focused field of the frontmost application,
    // through the same synthetic events the services post; they wait while
    // the devices are held.
    void typeText(std::string_view text);
    // Keys of another program (an on-screen keyboard, a dictation tool, a
    // remote desktop) through the server's XTest device: held like the
    // user's.
    void typeTextFromAnotherProgram(std::string_view text);
    void pressDelete();
    // The user's Ctrl+Z, held like any other key of the user's: the field's
    // last step in its undo history comes back. Characters typed one after
    // another are one step, as editors keep them; every other edit (a
    // paste, a write, a whole value) is one.
    void pressUndo();

    // --- Looking -------------------------------------------------------
    AXElement element(SimId id) const;
    SimId systemWide() const { return systemWide_; }
    std::optional<SimId> idOf(const AXElement& element) const;
    std::string text(SimId id) const;
    Utf16Range selection(SimId id) const;
    std::optional<Pid> frontmostPid() const;
    std::optional<SimId> focusedElement(Pid pid) const;
    // Calls that reached an application while it waited for the pasteboard.
    std::size_t callsRefusedWhilePasting() const { return callsRefusedWhilePasting_; }

  private:
    friend class SimAccessibility;
    friend class SimWorkspace;
    friend class SimInput;

    struct TextModel {
        struct Snapshot {
            std::string value;
            Utf16Range selection;
        };
        SimText text;
        std::vector<Snapshot> undoHistory;
        // Typing goes on in the step it opened until something else happens.
        bool typingStepOpen = false;
        MonospaceLayout layout;
        bool editable = true;
        bool fragmentBacked = false;
        InputQuirk inputQuirk;
        std::vector<SimId> lineNodes;  // fragment-backed: one per non-empty line
    };
    struct ScriptedAttribute {
        AXResult result;
        bool settable = false;
    };
    struct Node {
        SimId id = 0;
        Pid pid = 0;
        SimId parent = 0;
        std::vector<SimId> children;
        std::string role;
        bool destroyed = false;
        std::optional<Rect> frame;
        std::optional<TextModel> text;
        // A static-text line of a fragment-backed field: the field and the
        // index among its non-empty lines.
        std::optional<std::pair<SimId, std::size_t>> lineOf;
        std::map<std::string, ScriptedAttribute, std::less<>> scripted;
        std::map<std::string, WriteQuirk, std::less<>> writeQuirks;
        WriteRouteTrust routeTrust;
        ParameterizedHook parameterizedHook;
    };
    struct App {
        Pid pid = 0;
        std::optional<std::string> name;
        std::optional<std::string> bundleIdentifier;
        SimId element = 0;
        SimId focusedWindow = 0;
        SimId focusedElement = 0;
        bool running = true;
        bool observerCreationFails = false;
    };

    SimId newNode(Pid pid, SimId parent, std::string role, std::optional<Rect> frame);
    Node* node(SimId id);
    const Node* node(SimId id) const;
    Node* liveNode(SimId id);
    App* app(Pid pid);
    const App* app(Pid pid) const;
    std::optional<RunningApplication> runningApplication(Pid pid) const;
    SimId windowOf(SimId id) const;
    // The text model behind a node, with its node (a line node answers
    // through its line of the field).
    TextModel* textModel(SimId id);
    std::string lineText(const Node& line) const;
    MonospaceLayout lineLayout(const Node& line) const;
    std::optional<SimId> focusedEditableField() const;
    std::optional<SimId> editableFieldAt(Point point) const;

    // Every content change of a field goes through here; `typed` edits join
    // the typing step that is open.
    void changeText(SimId id, const std::function<void(SimText&)>& edit, bool typed = false);
    void undo(SimId id);
    void changeSelection(SimId id, Utf16Range range);
    void syncLineNodes(SimId id);
    void notify(SimId element, std::string_view notification);
    // The value-changed notification of an edit from `before` to the
    // field's text now, with what was removed and inserted.
    void notifyTextChange(SimId id, const std::string& before);

    // Applications waiting for the pasteboard's owner in a late paste, and
    // whether a call reached one meanwhile (which costs it the paste).
    mutable std::map<Pid, bool> waitingForPasteboard_;
    // Stopped applications: whether a call ran into its time-out, and what
    // they handle when they run again.
    struct Stopped {
        bool timedOut = false;
        std::vector<std::function<void()>> queue;
    };
    std::map<Pid, Stopped> stopped_;
    // Applications that let a call time out and answered none since.
    std::set<Pid> owingAnswer_;
    mutable std::size_t callsRefusedWhilePasting_ = 0;

    VirtualClock clock_;
    CapturedLog log_;
    SimPasteboard pasteboard_;
    SimScreens screens_;
    std::unique_ptr<SimAccessibility> accessibility_;
    // What ports() hands out: the same port, counted.
    std::unique_ptr<CountingAccessibility> countedAccessibility_;
    std::unique_ptr<SimWorkspace> workspace_;
    std::unique_ptr<SimInput> input_;

    std::map<SimId, Node> nodes_;
    std::map<Pid, App> apps_;
    std::vector<Pid> launchOrder_;
    SimId nextId_ = 1;
    SimId systemWide_ = 0;
    Pid frontmost_ = 0;
    int textFieldsLaidOut_ = 0;
    bool trusted_ = true;
    bool tellsTextChanges_ = true;
    bool tellsCaretSetIntoBlock_ = true;
    bool caretAtObjectEntersBlock_ = false;
    double notificationLag_ = 0;
    int clicksBesideDone_ = 0;
};

}  // namespace mivo::sim
