#pragma once

// How a document of blocks reads in its own text: each block (and each
// inline object: a link, an image) stands there as one object character,
// and the runs between the blocks are the lines written straight into the
// document. Pure text: nothing here asks the application.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "field/ax_text_extractor.hpp"

namespace mivo::documentText {

using FieldText = AXTextExtractor::ExtractedText;

// U+FFFC stands in a field's own text for each block or inline object.
inline constexpr std::string_view kObjectReplacement = "\xEF\xBF\xBC";

// Whether `text` ends where a sentence does (a closing bracket after it
// included).
bool endsASentence(std::string_view text);
// How many object characters `text` holds.
std::size_t objectCount(std::string_view text);
// The runs of `text` between its block objects, each with its first UTF-16
// unit; an object inside a line (a link) leaves the line one run.
std::vector<FieldText> runsOf(const std::string& text);
// The run that holds UTF-16 unit `caret`, or that ends at the block the
// caret stands on.
FieldText runAround(const std::string& text, int64_t caret);
// The lines of `text`, split at its line feeds, each with its first UTF-16
// unit counted as `text`'s are; a line feed ending the text starts no line.
std::vector<FieldText> linesOf(const FieldText& text);
// The line of `text` that starts at UTF-16 unit `start`: up to the next
// line feed or block object.
std::string lineAt(const std::string& text, int64_t start);
// The document's own text, its objects and the line feeds at its ends
// (Firefox ends a line with one before its first Return) left out.
std::string withoutObjects(std::string text);

}  // namespace mivo::documentText
