#include "settings/app_version.hpp"

namespace mivo {

std::string AppVersion::text() const {
    return marketing + " (" + build + ")";
}

}  // namespace mivo
