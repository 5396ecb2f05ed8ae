// The text of fields: edits and selections as the application makes them,
// typing through synthetic keys, and the static-text lines of fields backed
// by fragments, each change with its notifications.

#include <algorithm>

#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_input.hpp"
#include "shared/text.hpp"

namespace mivo::sim {

void SimDesktop::setText(SimId id, std::string value) {
    changeText(id, [&](SimText& t) { t.setValue(std::move(value)); });
}

void SimDesktop::select(SimId id, Utf16Range range) {
    changeSelection(id, range);
}

void SimDesktop::click(SimId id, Utf16Range caret) {
    const auto clickTo = [this, id](auto range) {
        return [this, id, range] {
            const Node* n = node(id);
            if (n == nullptr || !n->text)
                return;
            if (focusedEditableField() != id)
                focus(id);
            changeSelection(id, range(n->text->text.utf16Length()));
        };
    };
    input_->pointerClick(clickTo([caret](int64_t) { return caret; }),
                         clickTo([caret](int64_t length) {
                             return Utf16Range{caret.location, length - caret.location};
                         }));
}

void SimDesktop::movePointerAway() {
    input_->pointerMove();
}

void SimDesktop::clickBeside() {
    input_->pointerClick([this] { ++clicksBesideDone_; });
}

void SimDesktop::typeText(std::string_view typed) {
    for (const auto& character : text::characters(typed)) {
        KeyEvent down{kKeyCodeUnicodeCarrier, true, 0, text::toUtf16(character)};
        KeyEvent up = down;
        up.keyDown = false;
        input_->userKeyEvent(down);
        input_->userKeyEvent(up);
    }
}

void SimDesktop::typeTextFromAnotherProgram(std::string_view typed) {
    for (const auto& character : text::characters(typed)) {
        KeyEvent down{kKeyCodeUnicodeCarrier, true, 0, text::toUtf16(character)};
        KeyEvent up = down;
        up.keyDown = false;
        input_->otherProgramKeyEvent(down);
        input_->otherProgramKeyEvent(up);
    }
}

void SimDesktop::pressDelete() {
    input_->userKeyEvent(KeyEvent{kKeyCodeDelete, true, 0, {}});
    input_->userKeyEvent(KeyEvent{kKeyCodeDelete, false, 0, {}});
}

void SimDesktop::pressUndo() {
    input_->userKeyEvent(KeyEvent{kSimKeyCodeZ, true, kEventFlagCommand, {}});
    input_->userKeyEvent(KeyEvent{kSimKeyCodeZ, false, kEventFlagCommand, {}});
}

std::string SimDesktop::text(SimId id) const {
    const Node* n = node(id);
    if (n == nullptr)
        return {};
    if (n->lineOf)
        return lineText(*n);
    return n->text ? n->text->text.value() : std::string();
}

Utf16Range SimDesktop::selection(SimId id) const {
    const Node* n = node(id);
    return n && n->text ? n->text->text.selection() : Utf16Range{};
}

SimDesktop::TextModel* SimDesktop::textModel(SimId id) {
    Node* n = liveNode(id);
    return n && n->text ? &*n->text : nullptr;
}

std::string SimDesktop::lineText(const Node& line) const {
    const Node* field = node(line.lineOf->first);
    if (field == nullptr || !field->text)
        return {};
    std::size_t k = 0;
    for (auto& l : lines(field->text->text.value())) {
        if (!l.empty() && k++ == line.lineOf->second)
            return l;
    }
    return {};
}

MonospaceLayout SimDesktop::lineLayout(const Node& line) const {
    const Node* field = node(line.lineOf->first);
    MonospaceLayout layout = field->text->layout;
    std::size_t index = 0;
    std::size_t k = 0;
    for (auto& l : lines(field->text->text.value())) {
        if (!l.empty() && k++ == line.lineOf->second)
            break;
        ++index;
    }
    layout.frame.y += static_cast<double>(index) * layout.lineHeight;
    layout.frame.height = layout.lineHeight;
    return layout;
}

void SimDesktop::changeText(SimId id, const std::function<void(SimText&)>& edit, bool typed) {
    TextModel* m = textModel(id);
    if (m == nullptr)
        return;
    const TextModel::Snapshot before{m->text.value(), m->text.selection()};
    edit(m->text);
    if (m->text.value() != before.value && !(typed && m->typingStepOpen))
        m->undoHistory.push_back(before);
    m->typingStepOpen = typed;
    syncLineNodes(id);
    notifyTextChange(id, before.value);
    notify(id, kAXSelectedTextChangedNotification);
}

void SimDesktop::notifyTextChange(SimId id, const std::string& before) {
    TextModel* m = textModel(id);
    const Node* n = node(id);
    const App* a = n ? app(n->pid) : nullptr;
    if (m == nullptr || a == nullptr)
        return;
    if (tellsTextChanges_) {
        // The stretch between the common start and the common end, in
        // UTF-16 units, never splitting a surrogate pair.
        const std::u16string was = text::toUtf16(before);
        const std::u16string now = text::toUtf16(m->text.value());
        std::size_t head = 0;
        while (head < was.size() && head < now.size() && was[head] == now[head])
            ++head;
        if (head > 0 && was[head - 1] >= 0xD800 && was[head - 1] <= 0xDBFF)
            --head;
        std::size_t tail = 0;
        while (tail < was.size() - head && tail < now.size() - head &&
               was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
            ++tail;
        if (tail > 0 && tail < was.size() - head) {
            const char16_t first = was[was.size() - tail];
            if (first >= 0xDC00 && first <= 0xDFFF)
                --tail;
        }
        const auto offset = static_cast<int64_t>(head);
        const std::u16string removed = was.substr(head, was.size() - head - tail);
        const std::u16string inserted = now.substr(head, now.size() - head - tail);
        if (!removed.empty())
            accessibility_->deliverTextChange(
                n->pid, id,
                AXTextChange{AXTextChange::Kind::removed, AXTextChange::Unit::utf16, offset,
                             static_cast<int64_t>(removed.size()), text::fromUtf16(removed)});
        if (!inserted.empty())
            accessibility_->deliverTextChange(
                n->pid, id,
                AXTextChange{AXTextChange::Kind::inserted, AXTextChange::Unit::utf16, offset,
                             static_cast<int64_t>(inserted.size()), text::fromUtf16(inserted)});
    }
    accessibility_->deliver(n->pid, id, a->element, kAXValueChangedNotification);
}

void SimDesktop::undo(SimId id) {
    TextModel* m = textModel(id);
    if (m == nullptr || m->undoHistory.empty())
        return;
    const TextModel::Snapshot step = std::move(m->undoHistory.back());
    m->undoHistory.pop_back();
    m->typingStepOpen = false;
    const std::string before = m->text.value();
    m->text.setValue(step.value);
    m->text.setSelection(step.selection);
    syncLineNodes(id);
    notifyTextChange(id, before);
    notify(id, kAXSelectedTextChangedNotification);
}

void SimDesktop::changeSelection(SimId id, Utf16Range range) {
    TextModel* m = textModel(id);
    if (m == nullptr)
        return;
    // A caret moved elsewhere ends the typing step, as in editors.
    m->typingStepOpen = false;
    if (m->text.setSelection(range))
        notify(id, kAXSelectedTextChangedNotification);
}

void SimDesktop::syncLineNodes(SimId id) {
    TextModel* m = textModel(id);
    if (m == nullptr || !m->fragmentBacked)
        return;
    const auto ls = lines(m->text.value());
    const auto wanted = static_cast<std::size_t>(
        std::count_if(ls.begin(), ls.end(), [](const auto& l) { return !l.empty(); }));
    // Line nodes keep their identity while their line exists.
    while (m->lineNodes.size() < wanted) {
        const SimId line = addElement(id, std::string(kAXStaticTextRole));
        m = textModel(id);
        nodes_[line].lineOf = std::make_pair(id, m->lineNodes.size());
        m->lineNodes.push_back(line);
    }
    while (m->lineNodes.size() > wanted) {
        destroy(m->lineNodes.back());
        m->lineNodes.pop_back();
    }
}

}  // namespace mivo::sim
