#include "app/build_version.hpp"

#include <string_view>

#include "build_commit.hpp"

namespace mivo {

AppVersion buildVersion() {
    AppVersion version;
    version.marketing = MIVO_VERSION;
    if (std::string_view(MIVO_BUILD_NUMBER).size() > 0)
        version.build = MIVO_BUILD_NUMBER;
    else if (std::string_view(MIVO_BUILD_COMMIT).size() > 0)
        version.build = MIVO_BUILD_COMMIT;
    return version;
}

}  // namespace mivo
