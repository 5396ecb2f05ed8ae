// The text of fields: edits and selections as the application makes them,
// typing through synthetic keys, and the static-text lines of fields backed
// by fragments, each change with its notifications.

#include <algorithm>

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

void SimDesktop::typeText(std::string_view typed) {
    for (const auto& character : text::characters(typed)) {
        KeyEvent down{kKeyCodeUnicodeCarrier, true, 0, text::toUtf16(character)};
        KeyEvent up = down;
        up.keyDown = false;
        input_->userKeyEvent(down);
        input_->userKeyEvent(up);
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
    notify(id, kAXValueChangedNotification);
    notify(id, kAXSelectedTextChangedNotification);
}

void SimDesktop::undo(SimId id) {
    TextModel* m = textModel(id);
    if (m == nullptr || m->undoHistory.empty())
        return;
    const TextModel::Snapshot step = std::move(m->undoHistory.back());
    m->undoHistory.pop_back();
    m->typingStepOpen = false;
    m->text.setValue(step.value);
    m->text.setSelection(step.selection);
    syncLineNodes(id);
    notify(id, kAXValueChangedNotification);
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
