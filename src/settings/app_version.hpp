#pragma once

// The version texts the about card shows. The composition root passes the
// build's version; a part it does not know stays "—".

#include <string>

namespace mivo {

struct AppVersion {
    static constexpr const char* unknown = "\u2014";  // em dash

    std::string marketing = unknown;
    std::string build = unknown;

    // "1.4.2 (57)"; "— (—)" when both are unknown.
    std::string text() const;
};

}  // namespace mivo
