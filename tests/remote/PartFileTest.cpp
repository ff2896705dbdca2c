#include "remote/PartFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using qd::remote::PartFile;
using qdtest::readFile;
using qdtest::writeFile;
namespace fs = std::filesystem;

namespace {

int modeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

std::size_t entries(const fs::path& folder) {
    std::size_t n = 0;
    for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it)
        ++n;
    return n;
}

TEST(PartFileTest, CommitReplacesTheTargetWithAPrivateFile) {
    qdtest::TempDir dir;
    const fs::path target = dir / "out.bin";
    PartFile part;
    ASSERT_EQ(part.create(target, "test-part"), 0);
    EXPECT_EQ(part.path().parent_path(), dir.path());
    EXPECT_EQ(modeOf(part.path()), 0600);
    std::fputs("complete", part.stream());
    EXPECT_FALSE(fs::exists(target));
    ASSERT_EQ(part.commit(), 0);
    EXPECT_EQ(readFile(target), "complete");
    EXPECT_EQ(modeOf(target), 0600);
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(PartFileTest, AnExistingTargetKeepsItsPermissions) {
    qdtest::TempDir dir;
    const fs::path target = dir / "shared.txt";
    writeFile(target, "old");
    ::chmod(target.c_str(), 0644);
    PartFile part;
    ASSERT_EQ(part.create(target, "test-part"), 0);
    std::fputs("new", part.stream());
    ASSERT_EQ(part.commit(), 0);
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(modeOf(target), 0644);
}

TEST(PartFileTest, DiscardedOrAbandonedPartsLeaveTheTargetAndNoFile) {
    qdtest::TempDir dir;
    const fs::path target = dir / "keep.txt";
    writeFile(target, "as it was");
    {
        PartFile part;
        ASSERT_EQ(part.create(target, "test-part"), 0);
        std::fputs("half", part.stream());
        part.discard();
        EXPECT_EQ(part.commit(), EBADF);
    }
    {
        PartFile part;
        ASSERT_EQ(part.create(target, "test-part"), 0);
        std::fputs("half", part.stream());
    }
    EXPECT_EQ(readFile(target), "as it was");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(PartFileTest, NeverOpensALinkPlantedBesideTheTarget) {
    qdtest::TempDir dir;
    const fs::path victim = dir / "victim.txt";
    writeFile(victim, "precious");
    const fs::path target = dir / "download.txt";
    // Links under every name the old fixed scheme would have used.
    fs::create_symlink(victim, dir / "download.txt.test-part");
    fs::create_symlink(victim, dir / "download.txt.test-part-XXXXXX");
    PartFile part;
    ASSERT_EQ(part.create(target, "test-part"), 0);
    EXPECT_FALSE(fs::is_symlink(part.path()));
    std::fputs("fresh", part.stream());
    ASSERT_EQ(part.commit(), 0);
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(readFile(target), "fresh");
}

TEST(PartFileTest, AnOverlongNameFallsBackToAShortHiddenName) {
    qdtest::TempDir dir;
    const fs::path target = dir / std::string(250, 'n');
    PartFile part;
    ASSERT_EQ(part.create(target, "test-part"), 0);
    EXPECT_EQ(part.path().filename().string().rfind(".test-part-", 0), 0u);
    std::fputs("x", part.stream());
    ASSERT_EQ(part.commit(), 0);
    EXPECT_EQ(readFile(target), "x");
}

TEST(PartFileTest, AMissingFolderIsAnError) {
    qdtest::TempDir dir;
    PartFile part;
    EXPECT_EQ(part.create(dir / "no/such/folder/file", "test-part"), ENOENT);
    EXPECT_EQ(part.stream(), nullptr);
}

TEST(PartFileTest, TerminationBySignalRemovesThePartialFile) {
    qdtest::TempDir dir;
    const fs::path target = dir / "interrupted.txt";
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        PartFile::removeOnTermination();
        PartFile part;
        if (part.create(target, "test-part") != 0) ::_exit(3);
        std::fputs("partial", part.stream());
        std::fflush(part.stream());
        const char ready = 'r';
        if (::write(pipeFds[1], &ready, 1) != 1) ::_exit(4);
        for (;;)
            ::pause();
    }
    ::close(pipeFds[1]);
    char ready = 0;
    ASSERT_EQ(::read(pipeFds[0], &ready, 1), 1);
    ::close(pipeFds[0]);
    EXPECT_EQ(entries(dir.path()), 1u);
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(entries(dir.path()), 0u);
    EXPECT_FALSE(fs::exists(target));
}

} // namespace
