#include "script/Trash.h"

#include "data/Clock.h"
#include "remote/PercentEncoding.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

namespace fs = std::filesystem;

namespace {

bool statOf(const fs::path& p, struct stat& st, bool followLinks = true) {
    return (followLinks ? ::stat(p.c_str(), &st) : ::lstat(p.c_str(), &st)) == 0;
}

// files/ and info/ inside a trash folder, created private when missing.
int prepareTrash(const fs::path& trash) {
    for (const fs::path& p : {trash, trash / "files", trash / "info"}) {
        if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        struct stat st {};
        if (!statOf(p, st, false) || !S_ISDIR(st.st_mode)) return ENOTDIR;
    }
    return 0;
}

// The mount point that holds `p`: the highest ancestor on the same device.
fs::path topDirectory(const fs::path& p) {
    struct stat st {};
    if (!statOf(p, st)) return {};
    fs::path top = p;
    for (fs::path cur = p; cur.has_parent_path() && cur.parent_path() != cur;) {
        cur = cur.parent_path();
        struct stat up {};
        if (!statOf(cur, up) || up.st_dev != st.st_dev) break;
        top = cur;
    }
    return top;
}

// Whether a trash folder and its files/ and info/ are real folders (not links)
// of ours that no other user may write to.
bool ownedPrivately(const fs::path& trash) {
    for (const fs::path& p : {trash, trash / "files", trash / "info"}) {
        struct stat st {};
        if (!statOf(p, st, false) || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
            (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            return false;
    }
    return true;
}

} // namespace

fs::path topDirectoryTrash(const fs::path& top) {
    const std::string uid = std::to_string(::getuid());
    struct stat st {};
    // The administrator's shared .Trash counts only as a sticky folder (not a
    // link), and our folder in it only when it is ours alone.
    const fs::path shared = top / ".Trash";
    if (statOf(shared, st, false) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const fs::path mine = shared / uid;
        if (prepareTrash(mine) == 0 && ownedPrivately(mine)) return mine;
    }
    const fs::path own = top / (".Trash-" + uid);
    if (prepareTrash(own) == 0 && ownedPrivately(own)) return own;
    return {};
}

namespace {

std::string deletionDate(const TrashOptions& options) {
    const Moment m = (options.clock ? *options.clock : systemClock()).now();
    const CivilDate c = civilFromDate(m.date);
    const ClockTime t = clockFromTime(m.time);
    char b[64];
    std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, t.hour, t.minute,
                  t.second);
    return b;
}

// Reserves a name in the trash by creating its info file exclusively.
int reserveName(const fs::path& trash, const std::string& base, const std::string& info, std::string& name,
                fs::path& infoFile) {
    for (int n = 1; n < 100000; ++n) {
        name = n == 1 ? base : base + "." + std::to_string(n);
        infoFile = trash / "info" / (name + ".trashinfo");
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return errno;
        }
        std::error_code ec;
        if (fs::exists(trash / "files" / name, ec)) { // a stray item without info: keep it
            ::close(fd);
            ::unlink(infoFile.c_str());
            continue;
        }
        const ssize_t w = ::write(fd, info.data(), info.size());
        const int err = errno;
        ::close(fd);
        if (w != static_cast<ssize_t>(info.size())) {
            ::unlink(infoFile.c_str());
            return w < 0 ? err : EIO;
        }
        return 0;
    }
    return EEXIST;
}

int copyThenRemove(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        fs::remove_all(to, ec);
        return EXDEV;
    }
    fs::remove_all(from, ec);
    return ec ? ec.value() : 0;
}

} // namespace

fs::path homeTrashFolder(const TrashOptions& options) {
    if (!options.homeTrash.empty()) return options.homeTrash;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return fs::path(xdg) / "Trash";
    const char* home = std::getenv("HOME");
    std::string h = home && *home ? home : "";
    if (h.empty())
        if (const passwd* pw = ::getpwuid(::getuid())) h = pw->pw_dir;
    return fs::path(h) / ".local" / "share" / "Trash";
}

TrashResult moveToTrash(const fs::path& item, const TrashOptions& options) {
    TrashResult r;
    std::error_code ec;
    fs::path abs = fs::absolute(item, ec).lexically_normal();
    if (ec) {
        r.error = ec.value();
        return r;
    }
    if (!abs.has_filename()) abs = abs.parent_path(); // "dir/" names the folder
    struct stat st {};
    if (!statOf(abs, st, false)) {
        r.error = errno;
        return r;
    }
    if (abs == abs.root_path()) {
        r.error = EPERM;
        return r;
    }

    const fs::path home = homeTrashFolder(options);
    fs::create_directories(home.parent_path(), ec);
    if (int e = prepareTrash(home)) {
        r.error = e;
        return r;
    }
    struct stat homeSt {};
    struct stat parentSt {};
    statOf(home, homeSt);
    statOf(abs.parent_path(), parentSt);

    fs::path trash = home;
    std::string recordedPath = abs.string();
    if (parentSt.st_dev != homeSt.st_dev) {
        const fs::path top = topDirectory(abs.parent_path());
        if (fs::path t = top.empty() ? fs::path() : topDirectoryTrash(top); !t.empty()) {
            trash = t;
            recordedPath = abs.lexically_relative(top).string();
        }
    }
    const std::string info = "[Trash Info]\nPath=" + remote::percentEncodePath(recordedPath) +
                             "\nDeletionDate=" + deletionDate(options) + "\n";
    std::string name;
    if (int e = reserveName(trash, abs.filename().string(), info, name, r.infoFile)) {
        r.error = e;
        return r;
    }
    r.trashedAs = trash / "files" / name;
    if (::rename(abs.c_str(), r.trashedAs.c_str()) != 0) {
        int e = errno;
        if (e == EXDEV) e = copyThenRemove(abs, r.trashedAs);
        if (e != 0) {
            ::unlink(r.infoFile.c_str());
            r.error = e;
            r.trashedAs.clear();
            r.infoFile.clear();
        }
    }
    return r;
}

} // namespace qd
