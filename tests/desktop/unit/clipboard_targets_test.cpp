// Which of another owner's clipboard formats are saved around a paste: the
// text and a bounded set, never every format an application offers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/x11/x11_clipboard_reader.hpp"

namespace mivo::linux_desktop {
namespace {

TEST(ClipboardTargets, TextAndABoundedSetAreSaved) {
    const std::vector<std::string> offered = {
        "TIMESTAMP",   "TARGETS",   "MULTIPLE",  "SAVE_TARGETS",
        "image/png",   "image/bmp", "text/html", "application/x-office-private",
        "UTF8_STRING", "STRING",    "TEXT",      "text/plain;charset=utf-8"};
    EXPECT_EQ(savedClipboardTargets(offered),
              (std::vector<std::string>{"UTF8_STRING", "text/html", "image/png"}));
    // Without UTF8_STRING the MIME text type carries the text.
    EXPECT_EQ(savedClipboardTargets({"text/plain;charset=utf-8", "text/uri-list"}),
              (std::vector<std::string>{"text/plain;charset=utf-8", "text/uri-list"}));
    EXPECT_TRUE(savedClipboardTargets({"TARGETS", "application/x-private"}).empty());
    EXPECT_EQ(pasteboardTypeForTarget("UTF8_STRING"), std::string(kPasteboardTypeString));
    EXPECT_EQ(pasteboardTypeForTarget("text/html"), "text/html");
}

}  // namespace
}  // namespace mivo::linux_desktop
