#include <libsecret/secret.h>

#include "platform/CaseFold.h"
#include "platform/Text.h"
#include "platform/secrets/Keyring.h"

namespace stowaway {

namespace {

const SecretSchema& PasswordSchema() {
    static const SecretSchema schema = {"org.stowaway.CratePassword",
                                        SECRET_SCHEMA_NONE,
                                        {{"program-folder", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"crate", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return schema;
}

// Frees what GLib hands out when the call is done.
struct GError_ {
    GError* error = nullptr;
    ~GError_() {
        if (error) g_error_free(error);
    }
    std::string text() const { return error && error->message ? error->message : "unknown error"; }
};

struct Attributes {
    GHashTable* table = g_hash_table_new(g_str_hash, g_str_equal);
    std::string folder, crate;
    Attributes(const std::string& programFolder, const std::string& crateName)
        : folder(programFolder), crate(KeyringCrateName(crateName)) {
        g_hash_table_insert(table, const_cast<char*>("program-folder"), folder.data());
        g_hash_table_insert(table, const_cast<char*>("crate"), crate.data());
    }
    ~Attributes() { g_hash_table_unref(table); }
};

// The Secret Service of the session bus, checked first on a connection of our own
// so that a missing provider is said at once rather than started or waited for.
class ServiceConnection {
  public:
    ServiceConnection() {
        GError_ failure;
        gchar* address =
            g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &failure.error);
        if (!address) {
            problem_ = "there is no session bus (" + failure.text() + ")";
            return;
        }
        connection_ = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &failure.error);
        g_free(address);
        if (!connection_) {
            problem_ = "the session bus does not answer (" + failure.text() + ")";
            return;
        }
        g_dbus_connection_set_exit_on_close(connection_, FALSE);
        GError_ start;
        // Only a provider already running counts: a run must not wait for one to start.
        gchar* owner = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "GetNameOwner", g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(s)"),
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &start.error);
        if (!reply) {
            problem_ = "no desktop keyring (Secret Service) runs on the session bus";
            return;
        }
        g_variant_get(reply, "(s)", &owner);
        g_free(owner);
        g_variant_unref(reply);
        GError_ open;
        service_ = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &open.error);
        if (!service_) problem_ = "the desktop keyring cannot be opened (" + open.text() + ")";
    }
    ~ServiceConnection() {
        if (service_) g_object_unref(service_);
        // The next call finds the bus afresh: the session may have changed since.
        secret_service_disconnect();
        if (connection_) {
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
        }
    }
    SecretService* service() const { return service_; }
    const std::string& problem() const { return problem_; }

  private:
    GDBusConnection* connection_ = nullptr;
    SecretService* service_ = nullptr;
    std::string problem_;
};

}  // namespace

KeyringStatus SecretServiceKeyring::lookup(const std::string& programFolder,
                                           const std::string& crate, SecretText& password,
                                           std::string& problem) {
    password.clear();
    ServiceConnection bus;
    if (!bus.service()) {
        problem = bus.problem();
        return KeyringStatus::Unavailable;
    }
    Attributes attributes(programFolder, crate);
    GError_ failure;
    GList* items = secret_service_search_sync(bus.service(), &PasswordSchema(), attributes.table,
                                              SECRET_SEARCH_LOAD_SECRETS, nullptr, &failure.error);
    if (failure.error) {
        problem = "the desktop keyring cannot be searched (" + failure.text() + ")";
        return KeyringStatus::Unavailable;
    }
    KeyringStatus status = KeyringStatus::NotFound;
    for (GList* at = items; at; at = at->next) {
        SecretItem* item = static_cast<SecretItem*>(at->data);
        if (secret_item_get_locked(item)) {
            status = KeyringStatus::Locked;
            continue;
        }
        SecretValue* value = secret_item_get_secret(item);
        if (!value) continue;
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        const bool taken = password.assign(std::string_view(bytes, length)) && length > 0;
        secret_value_unref(value);
        if (taken) {
            status = KeyringStatus::Found;
            break;
        }
    }
    g_list_free_full(items, g_object_unref);
    if (status == KeyringStatus::Locked)
        problem = "the desktop keyring holds the password but is locked";
    else if (status == KeyringStatus::NotFound)
        problem = "the desktop keyring holds no password for it";
    return status;
}

bool SecretServiceKeyring::store(const std::string& programFolder, const std::string& crate,
                                 const SecretText& password, std::string& problem) {
    ServiceConnection bus;
    if (!bus.service()) {
        problem = bus.problem();
        return false;
    }
    Attributes attributes(programFolder, crate);
    SecretValue* value = secret_value_new(password.view().data(),
                                          static_cast<gssize>(password.size()), "text/plain");
    GError_ failure;
    const std::string label = "Stowaway: " + Trim(crate) + " (" + programFolder + ")";
    const gboolean stored = secret_service_store_sync(
        bus.service(), &PasswordSchema(), attributes.table, SECRET_COLLECTION_DEFAULT,
        label.c_str(), value, nullptr, &failure.error);
    secret_value_unref(value);
    if (!stored) problem = "the desktop keyring did not store it (" + failure.text() + ")";
    return stored;
}

bool SecretServiceKeyring::remove(const std::string& programFolder, const std::string& crate,
                                  std::string& problem) {
    ServiceConnection bus;
    if (!bus.service()) {
        problem = bus.problem();
        return false;
    }
    Attributes attributes(programFolder, crate);
    GError_ failure;
    secret_service_clear_sync(bus.service(), &PasswordSchema(), attributes.table, nullptr,
                              &failure.error);
    if (failure.error) {
        problem = "the desktop keyring did not remove it (" + failure.text() + ")";
        return false;
    }
    return true;
}

}  // namespace stowaway

namespace stowaway {

std::unique_ptr<Keyring> MakeDesktopKeyring() {
    return std::make_unique<SecretServiceKeyring>();
}

}  // namespace stowaway
