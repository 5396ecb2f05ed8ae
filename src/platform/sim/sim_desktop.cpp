// The desktop's ports, its element handles and the lookups of nodes and
// applications that the other parts share.

#include "platform/sim/sim_desktop.hpp"

#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_input.hpp"
#include "platform/sim/sim_workspace.hpp"

namespace mivo::sim {
namespace {

class SimElementRef : public AXElementRef {
  public:
    explicit SimElementRef(SimId id) : AXElementRef("sim:" + std::to_string(id)), id(id) {}
    const SimId id;
};

}  // namespace

SimDesktop::SimDesktop()
    : accessibility_(std::make_unique<SimAccessibility>(*this)),
      countedAccessibility_(std::make_unique<CountingAccessibility>(*accessibility_)),
      workspace_(std::make_unique<SimWorkspace>(*this)),
      input_(std::make_unique<SimInput>(*this)) {
    systemWide_ = newNode(0, 0, std::string(kAXSystemWideRole), std::nullopt);
}

SimDesktop::~SimDesktop() = default;

Desktop SimDesktop::ports() {
    return Desktop{clock_, *countedAccessibility_, *workspace_, screens_, *input_, pasteboard_,
                   log_};
}

AXElement SimDesktop::element(SimId id) const {
    return AXElement(std::make_shared<SimElementRef>(id));
}

std::optional<SimId> SimDesktop::idOf(const AXElement& element) const {
    const auto* ref = dynamic_cast<const SimElementRef*>(element.ref());
    if (ref == nullptr)
        return std::nullopt;
    return ref->id;
}

SimDesktop::Node* SimDesktop::node(SimId id) {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

const SimDesktop::Node* SimDesktop::node(SimId id) const {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

SimDesktop::Node* SimDesktop::liveNode(SimId id) {
    Node* n = node(id);
    return n && !n->destroyed ? n : nullptr;
}

SimDesktop::App* SimDesktop::app(Pid pid) {
    auto it = apps_.find(pid);
    return it == apps_.end() ? nullptr : &it->second;
}

const SimDesktop::App* SimDesktop::app(Pid pid) const {
    auto it = apps_.find(pid);
    return it == apps_.end() ? nullptr : &it->second;
}

std::optional<RunningApplication> SimDesktop::runningApplication(Pid pid) const {
    const App* a = app(pid);
    if (a == nullptr || !a->running)
        return std::nullopt;
    return RunningApplication{a->pid, a->name, a->bundleIdentifier};
}

void SimDesktop::notify(SimId element, std::string_view notification) {
    const Node* n = node(element);
    const App* a = n ? app(n->pid) : nullptr;
    if (a == nullptr)
        return;
    accessibility_->deliver(n->pid, element, a->element, notification);
}

}  // namespace mivo::sim
