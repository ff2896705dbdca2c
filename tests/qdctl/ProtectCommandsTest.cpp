#include "QdctlFixture.h"
#include "support/PrivateKeyring.h"

#include "data/DataFolderLock.h"
#include "data/Protection.h"
#include "platform/SecretStore.h"
#include "platform/secret/Passphrase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

using qdtest::LineFd;
using qdtest::NoKeyring;

struct ProtectCommandsTest : qdtest::QdctlFixture {
    void SetUp() override {
        ASSERT_EQ(run({"init"}), 0) << err;
        ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=kept safe"}), 0) << err;
    }
};

TEST_F(ProtectCommandsTest, ProtectedDataSetOpensOnlyWithItsPassphraseAndUnprotectsWhole) {
    NoKeyring none;
    {
        LineFd pass("correct horse");
        ASSERT_EQ(run({"--passphrase-fd", pass.arg(), "protect"}), 0) << err;
    }
    EXPECT_NE(out.find("re-keyed"), std::string::npos) << out;
    EXPECT_NE(err.find("could not be kept in the desktop keyring"), std::string::npos) << err;
    EXPECT_FALSE(qd::opensWithOwnerPassword(dir.path()));
    EXPECT_TRUE(qd::passphraseOpens(dir.path(), "correct horse"));
    // The backup taken first still opens with the owner password.
    bool backupFound = false;
    for (const auto& e : std::filesystem::directory_iterator(dir / "Backups"))
        if (e.path().filename().string().find("before-protect") != std::string::npos)
            backupFound = qd::opensWithOwnerPassword(e.path());
    EXPECT_TRUE(backupFound);

    // Without the passphrase nothing opens; a wrong one is refused.
    EXPECT_EQ(run({"rec", "get", "SCH", "SCH:ID=1"}), 1);
    EXPECT_NE(err.find("is protected with a passphrase"), std::string::npos) << err;
    {
        LineFd wrong("wrong horse");
        EXPECT_EQ(run({"--passphrase-fd", wrong.arg(), "rec", "get", "SCH", "SCH:ID=1"}), 1);
        EXPECT_NE(err.find("does not open the data set"), std::string::npos) << err;
    }
    {
        LineFd pass("correct horse");
        ASSERT_EQ(run({"--passphrase-fd", pass.arg(), "rec", "get", "SCH", "SCH:ID=1"}), 0) << err;
        EXPECT_NE(out.find("kept safe"), std::string::npos);
    }
    // Plain files stay plain.
    {
        LineFd pass("correct horse");
        ASSERT_EQ(run({"--passphrase-fd", pass.arg(), "rec", "add", "MSGLINK", "ML:Title=plain"}), 0) << err;
    }
    {
        LineFd pass("correct horse");
        ASSERT_EQ(run({"--passphrase-fd", pass.arg(), "unprotect"}), 0) << err;
    }
    EXPECT_TRUE(qd::opensWithOwnerPassword(dir.path()));
    ASSERT_EQ(run({"rec", "get", "SCH", "SCH:ID=1"}), 0) << err;
    EXPECT_NE(out.find("kept safe"), std::string::npos);
    ASSERT_EQ(run({"rec", "list", "MSGLINK"}), 0) << err;
    EXPECT_NE(out.find("plain"), std::string::npos);
    // An empty passphrase protects nothing.
    LineFd empty("");
    EXPECT_EQ(run({"--passphrase-fd", empty.arg(), "protect"}), 1);
    EXPECT_TRUE(qd::opensWithOwnerPassword(dir.path()));
}

TEST_F(ProtectCommandsTest, PassphraseIsKeptInTheDesktopKeyringAndFoundThere) {
    qdtest::PrivateKeyring keyring;
    ASSERT_EQ(keyring.failure(), "");
    {
        LineFd pass("keyring horse");
        ASSERT_EQ(run({"--passphrase-fd", pass.arg(), "protect"}), 0) << err;
    }
    EXPECT_NE(out.find("kept in the desktop keyring"), std::string::npos) << out << err;
    auto store = qd::openDesktopKeyring();
    std::string why;
    EXPECT_EQ(store->lookup(qd::passphraseItem(dir.path()), why), "keyring horse") << why;
    // No descriptor and no terminal: the keyring's passphrase opens it.
    ASSERT_EQ(run({"rec", "get", "SCH", "SCH:ID=1"}), 0) << err;
    EXPECT_NE(out.find("kept safe"), std::string::npos);
    ASSERT_EQ(run({"unprotect"}), 0) << err;
    EXPECT_TRUE(qd::opensWithOwnerPassword(dir.path()));
    EXPECT_EQ(store->lookup(qd::passphraseItem(dir.path()), why), std::nullopt) << why;
}

} // namespace

namespace {

TEST_F(ProtectCommandsTest, RekeyIsRefusedWhileASchedulerRunsAndReportsItsProgress) {
    NoKeyring none;
    {
        qd::DataFolderLock running;
        std::string why;
        ASSERT_TRUE(running.acquire(dir.path(), qd::DataFolderLock::Mode::Shared, why)) << why;
        const qd::RekeyResult r = qd::rekeyDataSet(dir.path(), "", "new key", "stamp-1");
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("in use by a running scheduler"), std::string::npos) << r.error;
        EXPECT_TRUE(qd::opensWithOwnerPassword(dir.path()));
        EXPECT_FALSE(std::filesystem::exists(dir / "Backups" / "stamp-1"));
    }
    std::vector<int> done;
    const qd::RekeyResult r = qd::rekeyDataSet(dir.path(), "", "new key", "stamp-2",
                                               [&](const qd::RekeyProgress& p) { done.push_back(p.done); });
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(qd::isProtected(dir.path()));
    ASSERT_GE(r.files, 1);
    // One report before each file and one at the end.
    ASSERT_EQ(done.size(), static_cast<std::size_t>(r.files) + 1);
    EXPECT_EQ(done.back(), r.files);
    // A wrong current key changes nothing.
    const qd::RekeyResult wrong = qd::rekeyDataSet(dir.path(), "not it", "", "stamp-3");
    EXPECT_FALSE(wrong.ok);
    EXPECT_NE(wrong.error.find("nothing was changed"), std::string::npos) << wrong.error;
    EXPECT_TRUE(qd::passphraseOpens(dir.path(), "new key"));
}

// A window of the program's own asks for the passphrase; what it gets is checked
// like every other source, and a refusal says what was tried.
TEST_F(ProtectCommandsTest, AWindowAsksForThePassphraseAndItIsChecked) {
    ASSERT_TRUE(qd::rekeyDataSet(dir.path(), "", "new key", "stamp-1").ok);
    std::vector<std::string> prompts;
    auto answering = [&prompts](std::optional<std::string> answer) {
        return [&prompts, answer](const std::string& prompt) {
            prompts.push_back(prompt);
            return answer;
        };
    };
    std::string why;
    EXPECT_EQ(qd::obtainPassphrase(dir.path(), {nullptr, {}, true, answering("new key")}, why), "new key");
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_NE(prompts[0].find(dir.path().string()), std::string::npos);
    EXPECT_EQ(qd::obtainPassphrase(dir.path(), {nullptr, {}, true, answering("not it")}, why), std::nullopt);
    EXPECT_NE(why.find("typed does not open"), std::string::npos) << why;
    EXPECT_EQ(qd::obtainPassphrase(dir.path(), {nullptr, {}, true, answering(std::nullopt)}, why),
              std::nullopt);
    EXPECT_NE(why.find("none was given"), std::string::npos) << why;
    // Not allowed to ask: the window is never shown.
    EXPECT_EQ(qd::obtainPassphrase(dir.path(), {nullptr, {}, false, answering("new key")}, why),
              std::nullopt);
    EXPECT_EQ(prompts.size(), 3u);
}

} // namespace
