#include "platform/linux/libsecret_secret_store.hpp"

#include <libsecret/secret.h>

#include <memory>
#include <string>

namespace mivo::linux_desktop {
namespace {

// The items carry exactly the two attributes they are found by.
const SecretSchema* schema() {
    static const SecretSchema kSchema = [] {
        SecretSchema schema{};
        schema.name = "com.mivo.GenericPassword";
        schema.flags = SECRET_SCHEMA_NONE;
        schema.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        schema.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return schema;
    }();
    return &kSchema;
}

struct ErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorDeleter>;

struct PasswordDeleter {
    void operator()(gchar* p) const { secret_password_free(p); }
};
using PasswordPtr = std::unique_ptr<gchar, PasswordDeleter>;

SecretStoreError toError(const ErrorPtr& error) {
    return SecretStoreError{error->code, error->message != nullptr ? error->message : ""};
}

struct Lookup {
    PasswordPtr value;
    ErrorPtr error;
};

Lookup lookup(const std::string& service, const std::string& account) {
    GError* raw = nullptr;
    gchar* value = secret_password_lookup_sync(schema(), nullptr, &raw, "service", service.c_str(),
                                               "account", account.c_str(), nullptr);
    return Lookup{PasswordPtr(value), ErrorPtr(raw)};
}

std::expected<void, SecretStoreError> store(const std::string& service, const std::string& account,
                                            const std::string& value) {
    const std::string label = service + " " + account;
    GError* raw = nullptr;
    secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), value.c_str(),
                               nullptr, &raw, "service", service.c_str(), "account",
                               account.c_str(), nullptr);
    ErrorPtr error(raw);
    if (error)
        return std::unexpected(toError(error));
    return {};
}

}  // namespace

std::optional<std::string> LibsecretSecretStore::read(std::string_view service,
                                                      std::string_view account) {
    auto found = lookup(std::string(service), std::string(account));
    if (found.error || !found.value)
        return std::nullopt;
    return std::string(found.value.get());
}

std::expected<SecretUpdate, SecretStoreError> LibsecretSecretStore::update(std::string_view service,
                                                                           std::string_view account,
                                                                           std::string_view value) {
    const std::string s(service), a(account);
    auto found = lookup(s, a);
    if (found.error)
        return std::unexpected(toError(found.error));
    if (!found.value)
        return SecretUpdate::notFound;
    // Storing under the same attributes replaces the item's secret.
    if (auto stored = store(s, a, std::string(value)); !stored)
        return std::unexpected(stored.error());
    return SecretUpdate::updated;
}

std::expected<void, SecretStoreError> LibsecretSecretStore::add(std::string_view service,
                                                                std::string_view account,
                                                                std::string_view value) {
    return store(std::string(service), std::string(account), std::string(value));
}

void LibsecretSecretStore::remove(std::string_view service, std::string_view account) {
    const std::string s(service), a(account);
    GError* raw = nullptr;
    secret_password_clear_sync(schema(), nullptr, &raw, "service", s.c_str(), "account", a.c_str(),
                               nullptr);
    ErrorPtr error(raw);  // a failed removal is not reported
}

}  // namespace mivo::linux_desktop
