// qdftp and httpget against real servers on 127.0.0.1 (tools/test-servers.sh:
// pyftpdlib and python3 -m http.server), started once for this program.
#include "platform/posix/PosixProcess.h"
#include "remote/ExitCodes.h"
#include "script/FtpHttpSteps.h"
#include "script/ScriptSteps.h"
#include "script/Values.h"
#include "support/LocalServers.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::readFile;
using qdtest::writeFile;

namespace {

const char* kUser = "qduser";
const char* kPassword = "s3cret pass";

class Servers : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(servers().start()) << "the test servers did not start (python3-pyftpdlib installed?)";
        ftpPort = servers().port("ftp");
        httpPort = servers().port("http");
    }
    void TearDown() override {
        if (!servers().stop()) std::fprintf(stderr, "stopping the test servers failed\n");
    }
    static fs::path root() { return servers().folder(); }
    static qdtest::ScriptedServers& servers() {
        static qdtest::TempDir dir;
        static qdtest::ScriptedServers s(QD_TEST_SERVERS_SCRIPT, dir.path());
        return s;
    }
    static inline int ftpPort = 0;
    static inline int httpPort = 0;
};

fs::path binDir() {
    const char* d = std::getenv("QD_BIN_DIR");
    return d ? fs::path(d) : PosixProcess().programFolder();
}

// Starts a program as the script engine does (the Process interface) and waits
// for its exit code; -1 when it could not be started.
int runLaunch(const ProgramLaunch& l) {
    static PosixProcess process;
    std::vector<std::string> argv{l.program.string()};
    argv.insert(argv.end(), l.arguments.begin(), l.arguments.end());
    const SpawnResult started = process.startProgram(l.program, argv, l.environment, l.workingFolder);
    if (!started.ok) return -1;
    const int code = process.wait(started.pid, 120000);
    process.forget(started.pid);
    return code;
}

int runProgram(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {}) {
    ProgramLaunch l;
    l.program = binDir() / program;
    l.arguments = args;
    l.environment = env;
    return runLaunch(l);
}

ScriptingRecord ftpStep(const std::string& op, const std::string& first, const std::string& second, int port,
                        const std::string& user, const std::string& password) {
    ScriptingRecord s;
    s.Action = "File Actions";
    s.DDEType = op;
    s.Command = first;
    s.Path = second;
    s.DDEApplicationName = "127.0.0.1:" + std::to_string(port);
    std::string topic = user;
    topic.resize(128, ' ');
    s.DDEApplicationTopic = topic + password;
    return s;
}

class FtpHttpIntegrationTest : public ::testing::Test {
protected:
    FtpHttpIntegrationTest() { options.programFolder = binDir(); }
    int runStep(const ScriptingRecord& fileAction) {
        auto entry = RewriteTransferStep(fileAction);
        EXPECT_TRUE(entry);
        if (!entry) return -1;
        const auto launch = PrepareTransferLaunch(*entry, options);
        EXPECT_TRUE(launch);
        return launch ? runLaunch(*launch) : -1;
    }
    fs::path ftpRoot() const { return Servers::root() / "ftp"; }
    fs::path httpRoot() const { return Servers::root() / "http"; }

    qdtest::TempDir local;
    TransferStartOptions options;
};

TEST_F(FtpHttpIntegrationTest, FtpUploadThenDownloadThroughScriptSteps) {
    writeFile(local / "report 1.txt", "quarterly figures\n");
    EXPECT_EQ(runStep(ftpStep("FTP Upload", (local / "report 1.txt").string(), "report.txt", Servers::ftpPort,
                              kUser, kPassword)),
              remote::kOk);
    EXPECT_EQ(readFile(ftpRoot() / "report.txt"), "quarterly figures\n");

    EXPECT_EQ(runStep(ftpStep("FTP Download", "report.txt", (local / "back.txt").string(), Servers::ftpPort,
                              kUser, kPassword)),
              remote::kOk);
    EXPECT_EQ(readFile(local / "back.txt"), "quarterly figures\n");
}

TEST_F(FtpHttpIntegrationTest, FtpPasswordFromVariablesAndAnonymousDownload) {
    writeFile(ftpRoot() / "public.txt", "open to all");
    VariableQueue vars;
    ScriptValues values(vars);
    values.SetValue("PW", kPassword);
    options.values = &values;
    EXPECT_EQ(runStep(ftpStep("FTP Download", "public.txt", (local / "p1.txt").string(), Servers::ftpPort,
                              kUser, "[PW]")),
              remote::kOk);
    EXPECT_EQ(readFile(local / "p1.txt"), "open to all");
    EXPECT_EQ(
        runStep(ftpStep("FTP Download", "public.txt", (local / "p2.txt").string(), Servers::ftpPort, "", "")),
        remote::kOk);
    EXPECT_EQ(readFile(local / "p2.txt"), "open to all");
}

TEST_F(FtpHttpIntegrationTest, FtpFailuresHaveTheirOwnExitCodes) {
    writeFile(ftpRoot() / "exists.txt", "x");
    writeFile(local / "keep.txt", "local copy");
    EXPECT_EQ(runStep(ftpStep("FTP Download", "exists.txt", (local / "keep.txt").string(), Servers::ftpPort,
                              kUser, "wrong")),
              remote::kLoginRefused);
    EXPECT_EQ(runStep(ftpStep("FTP Download", "missing.txt", (local / "keep.txt").string(), Servers::ftpPort,
                              kUser, kPassword)),
              remote::kNotFound);
    EXPECT_EQ(readFile(local / "keep.txt"), "local copy"); // a failed download leaves the old file
    EXPECT_EQ(runStep(ftpStep("FTP Download", "exists.txt", (local / "x.txt").string(), qdtest::closedPort(),
                              kUser, kPassword)),
              remote::kCannotConnect);
    EXPECT_EQ(runStep(ftpStep("FTP Upload", (local / "none.txt").string(), "n.txt", Servers::ftpPort, kUser,
                              kPassword)),
              remote::kLocalFileError);
    EXPECT_EQ(runProgram("qdftp", {"X", "a", "b", "host", "user"}), remote::kBadCommandLine);
    EXPECT_EQ(runProgram("qdftp", {"U", "a"}), remote::kBadCommandLine);
    EXPECT_EQ(runProgram("qdftp", {"D", "exists.txt", (local / "arg.txt").string(),
                                   "127.0.0.1:" + std::to_string(Servers::ftpPort), kUser, kPassword}),
              remote::kOk);
}

TEST_F(FtpHttpIntegrationTest, HttpDownloadsAndFailures) {
    writeFile(httpRoot() / "page.html", "<p>hello</p>");
    ScriptingRecord s;
    s.Action = "File Actions";
    s.DDEType = "HTTP Download";
    s.Command = "http://127.0.0.1:" + std::to_string(Servers::httpPort) + "/page.html";
    s.Path = (local / "page.html").string();
    EXPECT_EQ(runStep(s), remote::kOk);
    EXPECT_EQ(readFile(local / "page.html"), "<p>hello</p>");

    writeFile(local / "old.html", "old");
    s.Command = "http://127.0.0.1:" + std::to_string(Servers::httpPort) + "/missing.html";
    s.Path = (local / "old.html").string();
    EXPECT_EQ(runStep(s), remote::kNotFound);
    EXPECT_EQ(readFile(local / "old.html"), "old");

    s.Command = "http://127.0.0.1:" + std::to_string(qdtest::closedPort()) + "/page.html";
    EXPECT_EQ(runStep(s), remote::kCannotConnect);
    EXPECT_EQ(runProgram("httpget", {}), remote::kBadCommandLine);
    EXPECT_EQ(runProgram("httpget", {"file:///etc/passwd", (local / "p").string()}), remote::kBadCommandLine);
}

TEST_F(FtpHttpIntegrationTest, DownloadsNeverWriteThroughALinkPlantedAtThePartialFileName) {
    writeFile(ftpRoot() / "served.txt", "from ftp");
    writeFile(httpRoot() / "served.html", "from http");
    writeFile(local / "victim", "precious");
    const std::string ftpHost = "127.0.0.1:" + std::to_string(Servers::ftpPort);
    const std::string http = "http://127.0.0.1:" + std::to_string(Servers::httpPort);
    for (const char* name :
         {"f.txt.qdftp-part", "h.html.httpget-part", "g.txt.qdftp-part", "i.html.httpget-part"})
        fs::create_symlink(local / "victim", local / name);

    // Failed transfers: the link's target is not truncated.
    EXPECT_EQ(
        runProgram("qdftp", {"D", "missing.txt", (local / "f.txt").string(), ftpHost, kUser, kPassword}),
        remote::kNotFound);
    EXPECT_EQ(runProgram("httpget", {http + "/missing.html", (local / "h.html").string()}),
              remote::kNotFound);
    EXPECT_EQ(readFile(local / "victim"), "precious");

    // Successful transfers land in the target, not through the link.
    EXPECT_EQ(runProgram("qdftp", {"D", "served.txt", (local / "g.txt").string(), ftpHost, kUser, kPassword}),
              remote::kOk);
    EXPECT_EQ(runProgram("httpget", {http + "/served.html", (local / "i.html").string()}), remote::kOk);
    EXPECT_EQ(readFile(local / "victim"), "precious");
    EXPECT_EQ(readFile(local / "g.txt"), "from ftp");
    EXPECT_EQ(readFile(local / "i.html"), "from http");

    // Nothing but the planted links, the victim and the two downloads is left.
    std::size_t files = 0;
    for (auto it = fs::directory_iterator(local.path()); it != fs::directory_iterator(); ++it)
        ++files;
    EXPECT_EQ(files, 7u);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new Servers);
    return RUN_ALL_TESTS();
}
