#include "data/FileModes.h"

#include "data/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qd {

unsigned fileModeFor(const std::filesystem::path& folder) {
    struct stat st {};
    const std::filesystem::path dir = folder.empty() ? std::filesystem::path(".") : folder;
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0600;
    return static_cast<unsigned>(st.st_mode) & 0666u;
}

bool createPrivateFolder(const std::filesystem::path& folder, std::string& error) {
    if (folder.empty()) {
        error = "No folder name given";
        return false;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    const std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !createPrivateFolder(parent, error)) return false;
    if (::mkdir(folder.c_str(), kPrivateFolderMode) != 0) {
        if (errno == EEXIST && std::filesystem::is_directory(folder, ec)) return true;
        error = "Cannot create the folder " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    // mkdir applies the umask, which may remove bits but never adds any; make it exact.
    if (::chmod(folder.c_str(), kPrivateFolderMode) != 0) {
        error = "Cannot set the permissions of " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool applyFolderMode(const std::filesystem::path& file, std::string& error) {
    const unsigned mode = fileModeFor(file.parent_path());
    if (::chmod(file.c_str(), static_cast<mode_t>(mode)) != 0) {
        error = "Cannot set the permissions of " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool createFileWithFolderMode(const std::filesystem::path& file, std::string& error) {
    const unsigned mode = fileModeFor(file.parent_path());
    const int fd =
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, static_cast<mode_t>(mode));
    if (fd < 0) {
        error = "Cannot create " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
    if (!ok) error = "Cannot set the permissions of " + file.string() + ": " + std::strerror(errno);
    ::close(fd);
    return ok;
}

std::string unsafeDataFolder(const std::filesystem::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_IWOTH))
        return "The data folder " + folder.string() +
               " is writable by every user, so anyone could change the tasks this program runs. "
               "Remove that permission (chmod o-w \"" +
               folder.string() + "\") and start again.";
    const std::filesystem::path main = findFileNoCase(folder, "QD97.TPS");
    if (::stat(main.c_str(), &st) == 0 && (st.st_mode & S_IWOTH))
        return "The data file " + main.string() +
               " is writable by every user, so anyone could change the tasks this program runs. "
               "Remove that permission (chmod o-w \"" +
               main.string() + "\") and start again.";
    return {};
}

} // namespace qd
