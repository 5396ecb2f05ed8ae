#include "app/build_version.hpp"

#include <string_view>

namespace mivo {

AppVersion buildVersion() {
    AppVersion version;
    version.marketing = MIVO_VERSION;
    if (std::string_view(MIVO_BUILD_NUMBER).size() > 0) {
        version.build = MIVO_BUILD_NUMBER;
    }
    return version;
}

}  // namespace mivo
