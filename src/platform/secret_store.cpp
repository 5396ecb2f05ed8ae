#include "platform/secret_store.hpp"

namespace mivo {

std::string describeSecretError(const SecretStoreError& error) {
    std::string text = "libsecret error=" + std::to_string(error.code);
    if (!error.detail.empty()) {
        text += " (" + error.detail + ")";
    }
    return text;
}

}  // namespace mivo
