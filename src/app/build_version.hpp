#pragma once

// The version of this build, as the about card and `mivo --version` show it.

#include "settings/app_version.hpp"

namespace mivo {

AppVersion buildVersion();

}  // namespace mivo
