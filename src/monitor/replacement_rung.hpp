#pragma once

// One rung of the replacement ladder: a way of writing a correction, when
// its check looks, what is tried after it and how the write lands. The
// routes are tables of these; the ladder climbs them.

#include <optional>
#include <string_view>

#include "monitor/write_watch.hpp"

namespace mivo {

// The method a failed check tries next.
enum class ReplacementRetry { selectionTyping, mouseSelectionPaste, mouseSelectionTyping };

// The ways of writing one correction.
enum class WriteMethod {
    wholeValue,
    selectedText,
    selectionPaste,
    selectionTyping,
    mouseSelectionPaste,
    mouseSelectionTyping,
};

// Whether a method's write is in the field when its call returns, or input
// queued for later.
enum class Written { atOnce, queued };

// One rung of the ladder: a method, when its check looks at the field, what
// that check tries next, and how the write lands.
struct Rung {
    WriteMethod method;
    double delay;
    std::optional<ReplacementRetry> next;
    Written written = Written::queued;
    CaretRestore caret = CaretRestore::ifWhereTheWriteLeftIt;
};

// One try of a rung; `ifNotStarted` is logged when it does not start, or,
// for the last try of a retry, is the line the retry gives up with.
struct RungTry {
    Rung rung;
    std::string_view ifNotStarted = {};
};

}  // namespace mivo
