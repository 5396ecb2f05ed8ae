// Which texts stand only for embedded objects: Thunderbird's HTML compose
// document holds one U+FFFC per paragraph and nothing else.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/atspi/atspi_documents.hpp"

namespace mivo::linux_desktop {
namespace {

TEST(AtspiDocuments, OnlyEmbeddedObjectsMeansNothingElseAndAtLeastOne) {
    const std::string object = "\uFFFC";
    struct Row {
        std::string text;
        bool only;
    };
    const std::vector<Row> rows = {
        {object, true},
        {object + object + object, true},
        {"", false},
        // A contenteditable with a link: words around the object.
        {"前の" + object + "の後は晴れです。", false},
        {object + "\n", false},
        {"\uFEFF", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(holdsOnlyEmbeddedObjects(row.text), row.only) << row.text;
}

}  // namespace
}  // namespace mivo::linux_desktop
