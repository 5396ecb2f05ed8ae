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

struct ObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};

// Whether a call on the default collection will make the keyring ask the
// user first: there is no default collection yet (storing creates one, and
// gnome-keyring asks for its password), or it is locked (unlocking asks).
bool defaultCollectionAsksFirst(bool missingAsks) {
    GError* raw = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &raw);
    ErrorPtr error(raw);
    if (service == nullptr)
        return false;
    std::unique_ptr<SecretService, ObjectDeleter> owned(service);
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &raw);
    ErrorPtr aliasError(raw);
    if (collection == nullptr)
        return missingAsks && !aliasError;
    std::unique_ptr<SecretCollection, ObjectDeleter> ownedCollection(collection);
    return secret_collection_get_locked(collection) != FALSE;
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

// Runs `call`, telling the prompt listener around it when the keyring will
// ask the user first.
template <typename Call>
auto LibsecretSecretStore::aroundPrompt(bool missingAsks, Call call) const {
    const bool asks = defaultCollectionAsksFirst(missingAsks);
    if (asks)
        prompting(true);
    auto result = call();
    if (asks)
        prompting(false);
    return result;
}

std::optional<std::string> LibsecretSecretStore::read(std::string_view service,
                                                      std::string_view account) {
    auto found =
        aroundPrompt(false, [&] { return lookup(std::string(service), std::string(account)); });
    if (found.error || !found.value)
        return std::nullopt;
    return std::string(found.value.get());
}

std::expected<SecretUpdate, SecretStoreError> LibsecretSecretStore::update(std::string_view service,
                                                                           std::string_view account,
                                                                           std::string_view value) {
    const std::string s(service), a(account);
    auto found = aroundPrompt(false, [&] { return lookup(s, a); });
    if (found.error)
        return std::unexpected(toError(found.error));
    if (!found.value)
        return SecretUpdate::notFound;
    // Storing under the same attributes replaces the item's secret.
    if (auto stored = aroundPrompt(true, [&] { return store(s, a, std::string(value)); }); !stored)
        return std::unexpected(stored.error());
    return SecretUpdate::updated;
}

std::expected<void, SecretStoreError> LibsecretSecretStore::add(std::string_view service,
                                                                std::string_view account,
                                                                std::string_view value) {
    return aroundPrompt(true, [&] {
        return store(std::string(service), std::string(account), std::string(value));
    });
}

bool LibsecretSecretStore::isLocked() {
    return defaultCollectionAsksFirst(false);
}

void LibsecretSecretStore::remove(std::string_view service, std::string_view account) {
    const std::string s(service), a(account);
    GError* raw = nullptr;
    secret_password_clear_sync(schema(), nullptr, &raw, "service", s.c_str(), "account", a.c_str(),
                               nullptr);
    ErrorPtr error(raw);  // a failed removal is not reported
}

}  // namespace mivo::linux_desktop
