// Where the SMTP password is kept without a keyring, and what is refused there.
#include "mail/MailPassword.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace qd;
namespace fs = std::filesystem;

namespace {

// A keyring in memory that can stop answering.
class MemoryKeyring : public SecretStore {
public:
    bool answers = true;
    std::map<std::string, std::string> items;

    std::optional<std::string> lookup(const std::string& item, std::string& error) override {
        error = answers ? "" : "keyring locked";
        if (!answers || !items.count(item)) return std::nullopt;
        return items[item];
    }
    bool store(const std::string& item, const std::string&, const std::string& secret,
               std::string& error) override {
        if (!answers) {
            error = "keyring locked";
            return false;
        }
        items[item] = secret;
        return true;
    }
    bool clear(const std::string& item, std::string& error) override {
        if (!answers) {
            error = "keyring locked";
            return false;
        }
        items.erase(item);
        return true;
    }
};

fs::perms modeOf(const fs::path& p) {
    return fs::status(p).permissions() & fs::perms::all;
}

constexpr fs::perms kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;

} // namespace

TEST(MailPassword, WithoutAKeyringTheFileIsTheOwnersAloneWhateverTheUmaskOrFolder) {
    qdtest::TempDir dir;
    // A folder shared with a group, and a umask that would leave new files open to all.
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_all);
    const mode_t before = ::umask(0);
    MailPasswordStore kept(nullptr, dir.path());
    std::string note, error;
    const std::string password = " pass word \xC3\xA9 ";
    EXPECT_EQ(kept.store(password, note, error), MailPasswordPlace::File) << error;
    ::umask(before);
    EXPECT_NE(note.find("There is no keyring"), std::string::npos) << note;
    EXPECT_EQ(modeOf(kept.file()), kOwnerOnly);
    EXPECT_EQ(kept.lookup(error), password) << error; // blanks and bytes kept as typed
    EXPECT_EQ(error, "");
    // Replacing it leaves no temporary file behind.
    EXPECT_EQ(kept.store("second", note, error), MailPasswordPlace::File);
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
    EXPECT_EQ(kept.lookup(error), "second");
    EXPECT_TRUE(kept.clear(error)) << error;
    EXPECT_FALSE(fs::exists(kept.file()));
    EXPECT_EQ(kept.lookup(error), "");
    EXPECT_EQ(error, "");
}

TEST(MailPassword, AFileOthersCouldReadOrPlantIsNotUsed) {
    qdtest::TempDir dir;
    MailPasswordStore kept(nullptr, dir.path());
    std::string note, error;
    ASSERT_EQ(kept.store("secret", note, error), MailPasswordPlace::File);

    fs::permissions(kept.file(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(kept.lookup(error), "");
    EXPECT_NE(error.find("other users"), std::string::npos) << error;
    // Keeping it again makes it private again.
    ASSERT_EQ(kept.store("secret", note, error), MailPasswordPlace::File);
    EXPECT_EQ(modeOf(kept.file()), kOwnerOnly);
    EXPECT_EQ(kept.lookup(error), "secret");

    // A link to another file is not followed.
    fs::remove(kept.file());
    std::ofstream(dir / "elsewhere") << "planted";
    fs::permissions(dir / "elsewhere", kOwnerOnly);
    fs::create_symlink(dir / "elsewhere", kept.file());
    EXPECT_EQ(kept.lookup(error), "");
    EXPECT_NE(error, "");
    fs::remove(kept.file());
    // Nor is a file far larger than any password.
    std::ofstream(kept.file()) << std::string(10000, 'x');
    fs::permissions(kept.file(), kOwnerOnly);
    EXPECT_EQ(kept.lookup(error), "");
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

TEST(MailPassword, TheKeyringIsUsedWhenItAnswersAndTakesOverTheFile) {
    qdtest::TempDir dir;
    MemoryKeyring keyring;
    keyring.answers = false;
    MailPasswordStore kept(&keyring, dir.path());
    std::string note, error;
    // A locked keyring: the file keeps it, and says why.
    ASSERT_EQ(kept.store("while locked", note, error), MailPasswordPlace::File) << error;
    EXPECT_NE(note.find("keyring locked"), std::string::npos) << note;
    EXPECT_EQ(kept.lookup(error), "while locked");

    // The keyring answers again, holding an older password: the file's is newer,
    // moves in, and the file goes.
    keyring.answers = true;
    keyring.items[kMailPasswordItem] = "older";
    EXPECT_EQ(kept.lookup(error), "while locked") << error;
    EXPECT_EQ(keyring.items[kMailPasswordItem], "while locked");
    EXPECT_FALSE(fs::exists(kept.file()));
    EXPECT_EQ(kept.lookup(error), "while locked");

    // With the keyring answering nothing is written to a file.
    ASSERT_EQ(kept.store("in keyring", note, error), MailPasswordPlace::Keyring);
    EXPECT_FALSE(fs::exists(kept.file()));
    EXPECT_EQ(kept.lookup(error), "in keyring");

    // Locked again with nothing in the file: no password, and the reason.
    keyring.answers = false;
    EXPECT_EQ(kept.lookup(error), "");
    EXPECT_EQ(error, "keyring locked");

    // Clearing forgets both places.
    keyring.answers = true;
    ASSERT_TRUE(kept.clear(error));
    EXPECT_FALSE(keyring.items.count(kMailPasswordItem));
}
