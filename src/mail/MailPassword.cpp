#include "mail/MailPassword.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qd {
namespace {

constexpr const char* kKeyringLabel = "Quandrel SMTP password";
// Far more than any password; a larger file is not ours.
constexpr off_t kMostBytes = 4096;

std::string systemError(const std::string& what, const std::filesystem::path& file) {
    return what + " " + file.string() + ": " + std::strerror(errno);
}

// Overwrites a buffer the compiler may not skip.
void wipe(std::string& s) {
    volatile char* p = s.data();
    for (std::size_t i = 0; i < s.size(); ++i)
        p[i] = 0;
    s.clear();
}

} // namespace

MailPasswordStore::MailPasswordStore(SecretStore* keyring, std::filesystem::path dataFolder)
    : keyring_(keyring), file_(std::move(dataFolder) / kMailPasswordFile) {}

std::optional<std::string> MailPasswordStore::readFile(std::string& error) const {
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT) error = systemError("Cannot read", file_);
        return std::nullopt;
    }
    struct stat st {};
    std::optional<std::string> out;
    if (::fstat(fd, &st) != 0) {
        error = systemError("Cannot read", file_);
    } else if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        error = "The password file " + file_.string() + " is not a file of this user; it is not used.";
    } else if ((st.st_mode & 077) != 0) {
        error = "The password file " + file_.string() +
                " can be read or changed by other users; it is not used. Keep the password again to "
                "replace it.";
    } else if (st.st_size > kMostBytes) {
        error = "The password file " + file_.string() + " is too large; it is not used.";
    } else {
        std::string text(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got == text.size()) {
            out = std::move(text);
        } else {
            error = systemError("Cannot read", file_);
            wipe(text);
        }
    }
    ::close(fd);
    return out;
}

bool MailPasswordStore::writeFile(const std::string& password, std::string& error) const {
    // A new file beside the old one, 0600 from its creation whatever the umask
    // or the folder's mode, renamed over the old one once complete.
    std::string pattern = (file_.parent_path() / (std::string(kMailPasswordFile) + ".XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = systemError("Cannot create a file in", file_.parent_path());
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;
    std::size_t put = 0;
    while (ok && put < password.size()) {
        const ssize_t n = ::write(fd, password.data() + put, password.size() - put);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            put += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok) error = systemError("Cannot write", pattern);
    ::close(fd);
    if (ok && ::rename(pattern.c_str(), file_.c_str()) != 0) {
        error = systemError("Cannot replace", file_);
        ok = false;
    }
    if (!ok) ::unlink(pattern.c_str());
    return ok;
}

bool MailPasswordStore::removeFile(std::string& error) const {
    if (::unlink(file_.c_str()) == 0 || errno == ENOENT) return true;
    error = systemError("Cannot remove", file_);
    return false;
}

std::string MailPasswordStore::lookup(std::string& error) {
    error.clear();
    std::string fileError;
    std::optional<std::string> inFile = readFile(fileError);
    if (keyring_) {
        std::string keyringError;
        std::optional<std::string> kept = keyring_->lookup(kMailPasswordItem, keyringError);
        if (keyringError.empty()) {
            // The keyring answers. A password in the file was kept while it did
            // not, so it is the newer one: move it into the keyring.
            if (inFile) {
                std::string moveError;
                if (keyring_->store(kMailPasswordItem, kKeyringLabel, *inFile, moveError))
                    removeFile(moveError);
                return *inFile;
            }
            if (kept) return *kept;
            error = fileError;
            return {};
        }
        if (!inFile && fileError.empty()) {
            error = keyringError;
            return {};
        }
    }
    error = fileError;
    return inFile.value_or(std::string());
}

std::optional<MailPasswordPlace> MailPasswordStore::store(const std::string& password, std::string& note,
                                                          std::string& error) {
    note.clear();
    error.clear();
    if (keyring_) {
        std::string keyringError;
        if (keyring_->store(kMailPasswordItem, kKeyringLabel, password, keyringError)) {
            // No older copy stays behind in the file.
            if (!removeFile(error)) return std::nullopt;
            return MailPasswordPlace::Keyring;
        }
        note = "No keyring took the password (" + keyringError + "); it is kept in " + file_.string() +
               ", readable by you only.";
    } else {
        note = "There is no keyring; the password is kept in " + file_.string() + ", readable by you only.";
    }
    if (!writeFile(password, error)) return std::nullopt;
    return MailPasswordPlace::File;
}

bool MailPasswordStore::clear(std::string& error) {
    error.clear();
    if (keyring_) {
        std::string keyringError;
        keyring_->clear(kMailPasswordItem, keyringError); // no keyring: nothing kept there
    }
    return removeFile(error);
}

std::function<std::string()> keptMailPassword(std::filesystem::path dataFolder) {
    return [folder = std::move(dataFolder)] {
        std::unique_ptr<SecretStore> keyring = openDesktopKeyring();
        std::string why;
        return MailPasswordStore(keyring.get(), folder).lookup(why);
    };
}

} // namespace qd
