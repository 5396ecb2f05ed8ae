#pragma once

// Reads another application's clipboard over a private X connection with a
// time bound: Qt's own clipboard read waits up to 5 s for each format of an
// owner that does not answer, on the main loop. Only text and a bounded set
// of formats are read, each at most a few megabytes.
//
// Never for a clipboard this process owns: the request would wait for our
// own loop, which is the one waiting.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/pasteboard.hpp"

typedef struct _XDisplay Display;

namespace mivo::linux_desktop {

// The clipboard targets worth saving, in the order they are asked for, and
// the type each is saved under; UTF8_STRING is the text.
std::vector<std::string> savedClipboardTargets(const std::vector<std::string>& offered);
std::string pasteboardTypeForTarget(const std::string& target);

class ClipboardReader {
  public:
    // Nothing when the display cannot be opened.
    static std::unique_ptr<ClipboardReader> open();
    ~ClipboardReader();
    ClipboardReader(const ClipboardReader&) = delete;
    ClipboardReader& operator=(const ClipboardReader&) = delete;

    // The clipboard's entries read within `budget`; nothing when its owner
    // did not answer in time for the list of what it offers or for its
    // text. Other types not read in time are left out.
    std::optional<std::vector<PasteboardEntry>> read(std::chrono::milliseconds budget);

  private:
    ClipboardReader(Display* display, unsigned long window);
    std::optional<std::string> convert(unsigned long target,
                                       std::chrono::steady_clock::time_point deadline,
                                       unsigned long* type = nullptr, int* format = nullptr);

    Display* display_;
    unsigned long window_;
    // The last conversion found no answer by its deadline.
    bool timedOut_ = false;
};

}  // namespace mivo::linux_desktop
