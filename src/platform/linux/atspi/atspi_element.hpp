#pragma once

// What an element handle of the AT-SPI backend holds: a reference to the
// remote object and its identity (bus name and object path), plus the
// pieces every read needs: whether the object still exists, which process
// it belongs to, and the interface role it maps to.

#include <atspi/atspi.h>

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ax_element.hpp"
#include "platform/ax_value.hpp"

namespace mivo::linux_desktop {

class AtspiElementRef : public AXElementRef {
  public:
    // Takes over one reference; a null object makes the system-wide element
    // (`systemWide`) or a handle on nothing.
    AtspiElementRef(AtspiAccessible* accessible, std::string identity, bool systemWide = false);

    AtspiAccessible* accessible() const { return accessible_.get(); }
    bool isSystemWide() const { return systemWide_; }

  private:
    std::shared_ptr<AtspiAccessible> accessible_;
    bool systemWide_;
};

// "bus-name:object-path": equal for every handle on the same remote object.
std::string identityOf(AtspiAccessible* accessible);
// The identity of the application root of the object's process.
std::string applicationIdentityOf(AtspiAccessible* accessible);
// A handle on the object; takes over one reference (null gives a null handle).
AXElement makeElement(AtspiAccessible* accessible);
AXElement systemWideElementHandle();
// A handle that names no live object: every read of it fails as invalid.
AXElement missingElementHandle(std::string_view why);

// The libatspi object behind a handle of this backend, or null.
const AtspiElementRef* atspiRef(const AXElement& element);

// The error code for a failed libatspi call, from its message: objects and
// applications that are gone are invalid elements, everything else cannot
// be completed now.
AXError errorForFailure(std::string_view message);
// How many failures so far said that the other side did not answer in time.
uint64_t noReplyFailures();
// The bus name of the object's application.
std::string busNameOf(AtspiAccessible* accessible);

// What every read looks at first: the object's role and states, read fresh.
struct LiveObject {
    AtspiRole role = ATSPI_ROLE_INVALID;
    std::shared_ptr<AtspiStateSet> states;

    bool has(AtspiStateType state) const;
};

// The object still exists: its role reads without error and its state set
// is not defunct.
std::expected<LiveObject, AXError> inspect(AtspiAccessible* accessible);

std::expected<int32_t, AXError> processIdOf(AtspiAccessible* accessible);

// The interface's role and subrole for an AT-SPI role.
std::string axRole(AtspiRole role, bool multiLine);
std::optional<std::string> axSubrole(AtspiRole role);

// How much of an object's text Mivo reads. A password's text never leaves
// its application (its length and caret do, so it still counts as the
// field the user types in); a terminal's text is program output, not the
// user's writing, and is neither read nor followed.
enum class TextExposure { full, lengthOnly, none };
TextExposure textExposure(AtspiRole role);

}  // namespace mivo::linux_desktop
