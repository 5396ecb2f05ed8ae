#include "platform/linux/atspi/atspi_documents.hpp"

#include <string>

#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_toolkit.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

constexpr char32_t kObjectReplacement = 0xFFFC;
// A section inside a section (a quote, a signature) is looked into this deep.
constexpr int kMaxDepth = 4;
// Children asked for the caret when the document's own caret does not say.
constexpr int kMaxChildren = 400;
// Longer own texts are not read whole to decide: the caret and the object
// under it do.
constexpr gint kMaxObjects = 2000;

// The object's own text, when it is short enough to look at.
std::optional<std::string> ownText(AtspiText* text) {
    GErrorSlot countError;
    const gint count = atspi_text_get_character_count(text, countError.out());
    if (countError.failed() || count <= 0 || count > kMaxObjects)
        return std::nullopt;
    GErrorSlot error;
    return takeString(atspi_text_get_text(text, 0, count, error.out()));
}

gint caretOf(AtspiAccessible* accessible) {
    GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (text == nullptr)
        return -1;
    GErrorSlot error;
    const gint caret = atspi_text_get_caret_offset(text.get(), error.out());
    return error.failed() ? -1 : caret;
}

// The child that holds the caret: the one at the document's caret (each
// of its characters is one child), else the one that reports a caret.
GObjectPtr<AtspiAccessible> childWithCaret(AtspiAccessible* document, gint documentCaret) {
    GErrorSlot countError;
    const gint count = atspi_accessible_get_child_count(document, countError.out());
    if (countError.failed() || count <= 0)
        return nullptr;
    if (documentCaret >= 0 && documentCaret < count) {
        GErrorSlot error;
        GObjectPtr<AtspiAccessible> child(
            atspi_accessible_get_child_at_index(document, documentCaret, error.out()));
        if (!error.failed() && child != nullptr && caretOf(child.get()) >= 0)
            return child;
    }
    for (gint i = 0; i < count && i < kMaxChildren; ++i) {
        GErrorSlot error;
        GObjectPtr<AtspiAccessible> child(
            atspi_accessible_get_child_at_index(document, i, error.out()));
        if (!error.failed() && child != nullptr && caretOf(child.get()) >= 0)
            return child;
    }
    return nullptr;
}

GObjectPtr<AtspiAccessible> descend(AtspiAccessible* document, gint caret, int depth) {
    if (depth > kMaxDepth)
        return nullptr;
    GObjectPtr<AtspiAccessible> child = childWithCaret(document, caret);
    if (child == nullptr)
        return nullptr;
    GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(child.get()));
    if (text == nullptr)
        return nullptr;
    // A section of paragraphs is itself only objects: one level further.
    if (const auto own = ownText(text.get()); own && holdsOnlyEmbeddedObjects(*own)) {
        GErrorSlot error;
        const gint inner = atspi_text_get_caret_offset(text.get(), error.out());
        return descend(child.get(), error.failed() ? -1 : inner, depth + 1);
    }
    return child;
}

// The line holding the caret in `block`, which holds it: the block itself,
// or, for a block of blocks (a signature's section of lines), the line
// inside. None of its lines holds the caret when it stands in the
// document's own text right before the block (Firefox names the block
// there too): null then.
GObjectPtr<AtspiAccessible> lineInside(GObjectPtr<AtspiAccessible> block) {
    GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(block.get()));
    if (text == nullptr)
        return block;
    const auto own = ownText(text.get());
    if (!own || !holdsOnlyEmbeddedObjects(*own))
        return block;
    GErrorSlot error;
    const gint inner = atspi_text_get_caret_offset(text.get(), error.out());
    return descend(block.get(), error.failed() ? -1 : inner, 1);
}

// A block of the document (a paragraph, a section, a heading, a quote, a
// list item), where an inline object (a link, an image) is part of the text
// around it.
bool isBlock(AtspiAccessible* accessible) {
    GErrorSlot error;
    const AtspiRole role = atspi_accessible_get_role(accessible, error.out());
    return !error.failed() && (role == ATSPI_ROLE_PARAGRAPH || role == ATSPI_ROLE_SECTION ||
                               role == ATSPI_ROLE_HEADING || role == ATSPI_ROLE_BLOCK_QUOTE ||
                               role == ATSPI_ROLE_LIST_ITEM);
}

// The object whose character stands at `offset`: the link there says which.
// Without links the k-th object is taken for the k-th child, which holds
// only where the text itself has no child (Chromium gives its runs of text
// children of their own beside the blocks); with `objectsBefore` unknown
// (-1), nothing.
GObjectPtr<AtspiAccessible> objectAt(AtspiAccessible* document, gint offset, gint objectsBefore) {
    if (GObjectPtr<AtspiHypertext> hypertext(atspi_accessible_get_hypertext_iface(document));
        hypertext != nullptr) {
        GErrorSlot indexError;
        const gint link = atspi_hypertext_get_link_index(hypertext.get(), offset, indexError.out());
        if (!indexError.failed() && link >= 0) {
            GErrorSlot linkError;
            GObjectPtr<AtspiHyperlink> hyperlink(
                atspi_hypertext_get_link(hypertext.get(), link, linkError.out()));
            if (!linkError.failed() && hyperlink != nullptr) {
                GErrorSlot objectError;
                GObjectPtr<AtspiAccessible> object(
                    atspi_hyperlink_get_object(hyperlink.get(), 0, objectError.out()));
                if (!objectError.failed() && object != nullptr)
                    return object;
            }
        }
    }
    if (objectsBefore < 0)
        return nullptr;
    GErrorSlot error;
    GObjectPtr<AtspiAccessible> child(
        atspi_accessible_get_child_at_index(document, objectsBefore, error.out()));
    return error.failed() ? nullptr : std::move(child);
}

// The block whose object stands at `caret` in `own`, when the caret is in
// it; null when the caret stands in the text itself or on an inline object.
GObjectPtr<AtspiAccessible> blockAtCaret(AtspiAccessible* document, std::string_view own,
                                         gint caret) {
    if (caret < 0)
        return nullptr;
    gint objectsBefore = 0;
    std::size_t i = 0;
    for (gint at = 0; i < own.size(); ++at) {
        const char32_t c = text::decodeNext(own, i);
        if (at == caret) {
            if (c != kObjectReplacement)
                return nullptr;
            GObjectPtr<AtspiAccessible> child = objectAt(document, at, objectsBefore);
            if (child == nullptr || !isBlock(child.get()) || caretOf(child.get()) < 0)
                return nullptr;
            return lineInside(std::move(child));
        }
        if (c == kObjectReplacement)
            ++objectsBefore;
    }
    return nullptr;
}

// A document too long to read whole (thousands of paragraphs): the object
// at its caret, when that is a block holding the caret, is the field; any
// other caret is in the document's own text. No object is walked.
FieldInside fieldAtCaretOfLongDocument(AtspiAccessible* focused, AtspiText* text) {
    FieldInside out;
    GErrorSlot countError;
    const gint count = atspi_text_get_character_count(text, countError.out());
    if (countError.failed() || count <= kMaxObjects)
        return out;
    GErrorSlot caretError;
    const gint caret = atspi_text_get_caret_offset(text, caretError.out());
    if (caretError.failed() || caret < 0 || caret >= count)
        return out;
    GErrorSlot readError;
    const auto at = takeString(atspi_text_get_text(text, caret, caret + 1, readError.out()));
    if (readError.failed() || !at)
        return out;
    out.textBesideBlocks = true;
    if (!holdsOnlyEmbeddedObjects(*at))
        return out;
    // Without a link to say which object stands there, the child is not
    // known without counting the objects before it: the document's own
    // text is followed then.
    GObjectPtr<AtspiAccessible> child = objectAt(focused, caret, -1);
    if (child == nullptr || !isBlock(child.get()) || caretOf(child.get()) < 0)
        return out;
    out.field = lineInside(std::move(child));
    return out;
}

}  // namespace

bool holdsOnlyEmbeddedObjects(std::string_view text) {
    if (text.empty())
        return false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text::decodeNext(text, i) != kObjectReplacement)
            return false;
    }
    return true;
}

FieldInside fieldInside(AtspiAccessible* focused) {
    FieldInside out;
    const auto live = inspect(focused);
    if (!live || !live->has(ATSPI_STATE_EDITABLE))
        return out;
    GObjectPtr<AtspiText> text(atspi_accessible_get_text_iface(focused));
    if (text == nullptr)
        return out;
    const auto own = ownText(text.get());
    if (!own)
        return fieldAtCaretOfLongDocument(focused, text.get());
    if (!holdsEmbeddedObjects(*own))
        return out;
    GErrorSlot error;
    const gint caret = atspi_text_get_caret_offset(text.get(), error.out());
    if (holdsOnlyEmbeddedObjects(*own)) {
        out.objectsOnly = true;
        out.field = descend(focused, error.failed() ? -1 : caret, 0);
        return out;
    }
    // Text of its own beside blocks: Thunderbird's body after everything
    // was deleted holds what is typed next itself ("Body Text"), next to
    // the paragraphs made before or after. The field is where the caret
    // is: a block, else the document's own text.
    out.textBesideBlocks = true;
    out.field = blockAtCaret(focused, *own, error.failed() ? -1 : caret);
    return out;
}

GObjectPtr<AtspiAccessible> flowsFrom(AtspiAccessible* accessible) {
    GErrorSlot error;
    GArrayPtr relations(atspi_accessible_get_relation_set(accessible, error.out()));
    if (error.failed() || relations == nullptr)
        return nullptr;
    GObjectPtr<AtspiAccessible> from;
    for (guint i = 0; i < relations->len; ++i) {
        AtspiRelation* relation = g_array_index(relations.get(), AtspiRelation*, i);
        if (from == nullptr &&
            atspi_relation_get_relation_type(relation) == ATSPI_RELATION_FLOWS_FROM &&
            atspi_relation_get_n_targets(relation) > 0)
            from = GObjectPtr<AtspiAccessible>(atspi_relation_get_target(relation, 0));
        g_object_unref(relation);
    }
    return from;
}

}  // namespace mivo::linux_desktop
