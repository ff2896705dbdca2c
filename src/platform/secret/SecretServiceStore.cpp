// The Secret Service through libsecret. Items carry one attribute, the data
// folder, under the schema "org.quandrel.DataSet".
#include "platform/SecretStore.h"

#include <libsecret/secret.h>

#include <cstdlib>
#include <filesystem>

namespace qd {
namespace {

const SecretSchema* schema() {
    static const SecretSchema s = {
        "org.quandrel.DataSet",
        SECRET_SCHEMA_NONE,
        {{"folder", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &s;
}

// Whether a session bus can be reached without starting one (GLib would
// otherwise try to launch a bus through X11, which is not wanted here).
bool sessionBusKnown() {
    if (const char* a = std::getenv("DBUS_SESSION_BUS_ADDRESS"); a && *a) return true;
    if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r) {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::path(r) / "bus", ec);
    }
    return false;
}

std::string take(GError* e) {
    std::string text = e && e->message ? e->message : "unknown keyring error";
    if (e) g_error_free(e);
    return text;
}

class SecretServiceStore : public SecretStore {
public:
    std::optional<std::string> lookup(const std::string& item, std::string& error) override {
        error.clear();
        if (!sessionBusKnown()) {
            error = "no desktop session bus for the keyring";
            return std::nullopt;
        }
        GError* e = nullptr;
        gchar* secret = secret_password_lookup_sync(schema(), nullptr, &e, "folder", item.c_str(), nullptr);
        if (e) {
            error = take(e);
            return std::nullopt;
        }
        if (!secret) return std::nullopt;
        std::string out(secret);
        secret_password_free(secret);
        return out;
    }

    bool store(const std::string& item, const std::string& label, const std::string& secret,
               std::string& error) override {
        if (!sessionBusKnown()) {
            error = "no desktop session bus for the keyring";
            return false;
        }
        GError* e = nullptr;
        const gboolean ok =
            secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(),
                                       nullptr, &e, "folder", item.c_str(), nullptr);
        if (!ok || e) {
            error = take(e);
            return false;
        }
        return true;
    }

    bool clear(const std::string& item, std::string& error) override {
        if (!sessionBusKnown()) {
            error = "no desktop session bus for the keyring";
            return false;
        }
        GError* e = nullptr;
        secret_password_clear_sync(schema(), nullptr, &e, "folder", item.c_str(), nullptr);
        if (e) {
            error = take(e);
            return false;
        }
        return true;
    }
};

} // namespace

std::unique_ptr<SecretStore> openDesktopKeyring() {
    return std::make_unique<SecretServiceStore>();
}

} // namespace qd
