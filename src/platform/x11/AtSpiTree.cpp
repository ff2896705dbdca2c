#include "platform/x11/AtSpiTree.h"

#include <atspi/atspi.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qd {

namespace {

constexpr int kMaxNodes = 5000;
constexpr int kMaxDepth = 64;
constexpr int kCallTimeoutMs = 500;

// True when a session bus can be reached without starting one.
bool sessionBusConfigured() {
    if (const char* addr = std::getenv("DBUS_SESSION_BUS_ADDRESS"); addr && *addr) return true;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::path(run) / "bus", ec);
    }
    return false;
}

// Owned reference to an accessible object.
struct Ref {
    AtspiAccessible* p = nullptr;
    explicit Ref(AtspiAccessible* a = nullptr) : p(a) {}
    ~Ref() {
        if (p) g_object_unref(p);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

std::string takeString(gchar* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

std::string nameOf(AtspiAccessible* a) {
    GError* err = nullptr;
    std::string name = takeString(atspi_accessible_get_name(a, &err));
    if (err) g_error_free(err);
    return name;
}

void collect(AtspiAccessible* node, int depth, int& visited, std::vector<ChildWindow>& out) {
    if (depth > kMaxDepth) return;
    GError* err = nullptr;
    const gint count = atspi_accessible_get_child_count(node, &err);
    if (err) {
        g_error_free(err);
        return;
    }
    for (gint i = 0; i < count && visited < kMaxNodes; ++i) {
        Ref child(atspi_accessible_get_child_at_index(node, i, &err));
        if (err) {
            g_error_free(err);
            err = nullptr;
            continue;
        }
        if (!child.p) continue;
        ++visited;
        std::string text = nameOf(child.p);
        const std::string role = takeString(atspi_accessible_get_role_name(child.p, &err));
        if (err) {
            g_error_free(err);
            err = nullptr;
        }
        if (text.empty()) {
            // Editable and static texts carry their content rather than a name.
            if (AtspiText* t = atspi_accessible_get_text_iface(child.p)) {
                text = takeString(atspi_text_get_text(t, 0, 254, &err));
                if (err) {
                    g_error_free(err);
                    err = nullptr;
                }
                g_object_unref(t);
            }
        }
        if (!text.empty()) out.push_back({0, text, role});
        collect(child.p, depth + 1, visited, out);
    }
}

} // namespace

AtSpiTree::AtSpiTree() = default;
AtSpiTree::~AtSpiTree() = default; // the library stays initialised for the process

bool AtSpiTree::available() {
    if (state_ == 0) {
        state_ = -1;
        if (sessionBusConfigured() && atspi_init() >= 0) {
            atspi_set_timeout(kCallTimeoutMs, kCallTimeoutMs * 2);
            state_ = 1;
        }
    }
    return state_ == 1;
}

std::vector<ChildWindow> AtSpiTree::childTexts(int pid, const std::string& windowTitle) {
    std::vector<ChildWindow> out;
    if (pid <= 0 || !available()) return out;
    Ref desktop(atspi_get_desktop(0));
    if (!desktop.p) return out;
    atspi_accessible_clear_cache(desktop.p);
    GError* err = nullptr;
    const gint apps = atspi_accessible_get_child_count(desktop.p, &err);
    if (err) {
        g_error_free(err);
        return out;
    }
    int visited = 0;
    for (gint i = 0; i < apps; ++i) {
        Ref app(atspi_accessible_get_child_at_index(desktop.p, i, &err));
        if (err) {
            g_error_free(err);
            err = nullptr;
            continue;
        }
        if (!app.p) continue;
        const guint appPid = atspi_accessible_get_process_id(app.p, &err);
        if (err) {
            g_error_free(err);
            err = nullptr;
            continue;
        }
        if (static_cast<int>(appPid) != pid) continue;
        atspi_accessible_clear_cache(app.p);
        const gint frames = atspi_accessible_get_child_count(app.p, &err);
        if (err) {
            g_error_free(err);
            err = nullptr;
            continue;
        }
        // The frame with the window's title; the only frame when none has it.
        Ref chosen;
        for (gint f = 0; f < frames && !chosen.p; ++f) {
            Ref frame(atspi_accessible_get_child_at_index(app.p, f, &err));
            if (err) {
                g_error_free(err);
                err = nullptr;
                continue;
            }
            if (frame.p && nameOf(frame.p) == windowTitle) std::swap(chosen.p, frame.p);
        }
        if (!chosen.p && frames == 1) {
            chosen.p = atspi_accessible_get_child_at_index(app.p, 0, &err);
            if (err) {
                g_error_free(err);
                err = nullptr;
            }
        }
        if (chosen.p) collect(chosen.p, 0, visited, out);
    }
    return out;
}

} // namespace qd
