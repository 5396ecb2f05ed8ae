#pragma once

// Keeps the rewrite target of the focused text field ready before the user
// asks for it, so that the hotkey opens the rewrite panel without a slow
// read of the other application. While started it follows the frontmost
// application, its focused element and every change of that element's
// value or selection; a quarter of a second after the typing settles it
// re-reads the field and keeps the target (the selection, or the sentence at
// the caret), its context and an anchor rectangle.
//
// It keeps nothing of code editors, terminals and password fields, pauses
// while an input method produces bursts of changes, and forgets everything
// after 60 idle seconds, on a change of application or focus, on stop and
// after each request.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.hpp"
#include "tone/surface_tag_resolver.hpp"

namespace mivo {

class ToneWarmBuffer {
  public:
    struct Snapshot {
        std::string targetText;
        bool isSelection = false;
        std::optional<std::string> precedingContext;
        std::optional<std::string> followingContext;
        std::optional<Rect> elementFrame;  // panel anchor, screen coordinates (y up)
        std::optional<std::string> bundleId;
        bool isColdPath = false;  // read just now by the selection reader
        std::optional<AXElement> targetElement;
    };

    // For an icon beside the field.
    struct FocusState {
        // Not a code editor or terminal, not a password field, and a field
        // is being followed.
        bool isEligible = false;
        std::optional<Rect> elementFrame;
        std::optional<std::string> bundleId;
        // The kind of application in front: an icon shows only where the
        // kind is known and rewritable.
        SurfaceTagResolver::SurfaceTag surfaceTag = SurfaceTagResolver::SurfaceTag::unknown;
        bool hasTargetCandidate = false;
        bool imeActive = false;
        bool isSecureField = false;
        bool operator==(const FocusState&) const = default;
    };

    // `maxTargetCharacters` answers the length limit in force (targets are
    // kept one Character past it, so that an over-long one is still seen to
    // be too long); `classify` gives the kind of application of a bundle
    // identifier (`SurfaceTagResolver::resolve` when not given); code
    // editors and terminals are never rewritten.
    using LimitSource = std::function<int64_t()>;
    using SurfaceClassifier =
        std::function<SurfaceTagResolver::SurfaceTag(const std::optional<std::string>& bundleId)>;
    ToneWarmBuffer(Desktop desktop, LimitSource maxTargetCharacters,
                   SurfaceClassifier classify = {});
    ~ToneWarmBuffer();
    ToneWarmBuffer(const ToneWarmBuffer&) = delete;
    ToneWarmBuffer& operator=(const ToneWarmBuffer&) = delete;

    // Does nothing when started, or (with a log line) when this process may
    // not use the accessibility interface.
    void start();
    void stop();
    // Mivo's own windows are not followed (this process by default).
    void setOwnProcessId(Pid pid) { ownPid_ = pid; }

    // The target now: the live selection first, then what is kept, then a
    // fresh read through the selection reader. Nothing for code editors,
    // terminals and password fields.
    std::optional<Snapshot> freeze();
    void discardAfterRequest();

    std::function<void(const FocusState&)> onFocusChanged;
    // Lines without the "[Mivo][Tone] " tag, which the receiver adds.
    std::function<void(const std::string&)> onLog;

    // Tuning, fixed.
    static constexpr double refreshDebounce = 0.25;
    static constexpr double idleDiscardAfter = 60;
    static constexpr std::size_t imeBurstThreshold = 6;
    static constexpr double imeBurstWindow = 0.25;

  private:
    void handleAppActivated(const RunningApplication& app);
    void installFocusObserver(Pid pid);
    void tearDownFocusObserver();
    void refreshFocusedElement();
    void attachValueObserver(const AXElement& element);
    void tearDownValueObserver();
    void handleValueChange();
    void refreshBuffer();
    std::optional<Snapshot> liveSelectionSnapshot();
    void clearBuffer(const std::string& reason);
    void idleTick();
    void emitFocusState(bool hasTargetCandidate);
    // The focus state with the element's target candidate, read only when
    // someone listens: the read asks the application.
    void emitFocusStateReading(const AXElement& element);
    bool hasReadableTextCandidate(const AXElement& element);
    void updateFrames(const std::string& target, const AXElement& element);
    std::string cutToLimit(std::string_view target) const;
    Snapshot warmSnapshot(std::string target, bool isSelection) const;
    void log(const std::string& line);
    bool isCodeOrTerminal() const {
        return currentSurfaceTag_ == SurfaceTagResolver::SurfaceTag::codeOrTerminal;
    }
    // Runs `work` in a later turn, unless this buffer is gone by then.
    Cancel later(double delay, std::function<void(ToneWarmBuffer&)> work);

    Desktop desktop_;
    LimitSource maxTargetCharacters_;
    SurfaceClassifier classify_;

    bool started_ = false;
    Cancel activationObservation_;
    std::unique_ptr<AXObserver> focusObserver_;
    AXElement focusObservedApp_;
    Pid focusObservedPid_ = 0;
    Pid ownPid_;
    std::unique_ptr<AXObserver> valueObserver_;
    std::optional<AXElement> observedElement_;
    Pid observedPid_ = 0;
    std::optional<std::string> currentBundleId_;
    SurfaceTagResolver::SurfaceTag currentSurfaceTag_ = SurfaceTagResolver::SurfaceTag::unknown;
    std::optional<Rect> currentElementFrame_;
    std::optional<Rect> currentAnchorFrame_;
    bool currentIsSecure_ = false;
    bool bufferActive_ = false;
    std::optional<TimePoint> lastActivityAt_;
    Cancel refreshWork_;
    std::vector<TimePoint> changeTimestamps_;
    bool imePaused_ = false;
    // Whether an input method runs, asked once per burst of changes: the
    // answer takes a look at the X server, the session bus and the
    // target's environment.
    std::optional<bool> inputMethodRunningInBurst_;
    std::optional<std::string> cachedTarget_;
    bool cachedIsSelection_ = false;
    std::optional<std::string> cachedPreceding_;
    std::optional<std::string> cachedFollowing_;
    // The kept target's frames are still to be asked (at the next freeze).
    bool framesPending_ = false;
    Cancel idleTimer_;
    std::shared_ptr<ToneWarmBuffer*> self_;
};

}  // namespace mivo
