#include "script/Transfer.h"
#include "remote/ExitCodes.h"
#include "script/ScriptSteps.h"
#include "script/Values.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qd;

namespace {

ScriptingRecord ftpStep(const std::string& op, const std::string& user, const std::string& password) {
    ScriptingRecord s;
    s.Action = "File Actions";
    s.DDEType = op;
    s.Command = "C:\\data\\report 1.txt";
    s.Path = "/upload/report.txt";
    s.DDEApplicationName = "ftp.example.org";
    std::string topic = user;
    topic.resize(128, ' ');
    s.DDEApplicationTopic = topic + password;
    return s;
}

TEST(TransferTest, QuotingRule) {
    EXPECT_EQ(QuoteTransferArgument("plain"), "plain");
    EXPECT_EQ(QuoteTransferArgument("plain   "), "plain");
    EXPECT_EQ(QuoteTransferArgument("with blank"), "\"with blank\"");
    EXPECT_EQ(QuoteTransferArgument("a/b"), "\"a/b\"");
    EXPECT_EQ(QuoteTransferArgument("a\\b"), "\"a\\b\"");
    EXPECT_EQ(QuoteTransferArgument("\"quoted\""), "quoted");
    EXPECT_EQ(QuoteTransferArgument("\" x y \""), "\"x y\"");
    EXPECT_EQ(QuoteTransferArgument("\"\""), "\"\"");
    EXPECT_EQ(QuoteTransferArgument(""), "\"\"");
}

TEST(TransferTest, FtpUploadBecomesAWaitingStartWithoutThePassword) {
    auto r = RewriteTransferStep(ftpStep("FTP Upload", "alice", "pa ss"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Action, "Start Program");
    EXPECT_EQ(r->Command, "QDFTP U \"C:\\data\\report 1.txt\" \"/upload/report.txt\" ftp.example.org alice");
    EXPECT_EQ(r->Command.rfind("QDFTP U ", 0), 0u);
    EXPECT_EQ(r->Command.find("pa ss"), std::string::npos);
    EXPECT_EQ(r->DDEApplicationName, "1211");
    EXPECT_EQ(r->TimeElapsed, 360000);
    EXPECT_EQ(r->DDEApplicationTopic, "");
    EXPECT_EQ(r->DDECommand, "pa ss");
}

TEST(TransferTest, FtpDownloadAndHttpDownloadCommands) {
    auto d = RewriteTransferStep(ftpStep("FTP Download", "", ""));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->Command, "QDFTP D \"C:\\data\\report 1.txt\" \"/upload/report.txt\" ftp.example.org \"\"");
    ScriptingRecord h;
    h.Action = "File Actions";
    h.DDEType = "HTTP Download";
    h.Command = "http://example.org/a.zip";
    h.Path = "a.zip";
    auto g = RewriteTransferStep(h);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Command, "HTTPGET \"http://example.org/a.zip\" a.zip /AUTO");
    h.DDEType = "Copy";
    EXPECT_FALSE(RewriteTransferStep(h));
    h.DDEType = "HTTP Download";
    h.Action = "Start Program";
    EXPECT_FALSE(RewriteTransferStep(h));
}

TEST(TransferTest, LaunchPassesThePasswordInTheEnvironmentOnly) {
    auto entry = RewriteTransferStep(ftpStep("FTP Upload", "alice", "[SECRET]"));
    ASSERT_TRUE(entry);
    VariableQueue vars;
    ScriptValues values(vars);
    values.SetValue("SECRET", "t0p");
    TransferStartOptions options;
    options.values = &values;
    options.programFolder = "/opt/qd/bin";
    auto launch = PrepareTransferLaunch(*entry, options);
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->program, "/opt/qd/bin/qdftp");
    EXPECT_EQ(launch->arguments,
              (std::vector<std::string>{"U", "C:\\data\\report 1.txt", "/upload/report.txt",
                                        "ftp.example.org", "alice"}));
    EXPECT_EQ(launch->environment, (std::vector<std::string>{"QDFTP_PASSWORD=t0p"}));
    for (const auto& a : launch->arguments)
        EXPECT_EQ(a.find("t0p"), std::string::npos);
    EXPECT_EQ(launch->visibleCommand.find("t0p"), std::string::npos);
}

TEST(TransferTest, LaunchTranslatesEachArgumentOnceAndKeepsItWhole) {
    ScriptingRecord step;
    step.Action = "File Actions";
    step.DDEType = "FTP Upload";
    step.Command = "[FILE]";
    step.Path = "[DIR]/";
    step.DDEApplicationName = "ftp.example.org";
    auto entry = RewriteTransferStep(step);
    ASSERT_TRUE(entry);
    VariableQueue vars;
    ScriptValues values(vars);
    vars.set("FILE", "/tmp/my report.txt");
    vars.set("DIR", "in [FILE] \"quoted\"");
    TransferStartOptions options;
    options.values = &values;
    options.programFolder = "/opt/qd/bin";
    auto launch = PrepareTransferLaunch(*entry, options);
    ASSERT_TRUE(launch);
    // The user is empty: an empty argument.
    EXPECT_EQ(launch->arguments, (std::vector<std::string>{"U", "/tmp/my report.txt", "in [FILE] \"quoted\"/",
                                                           "ftp.example.org", ""}));
}

TEST(TransferTest, RecognisesTransferCommands) {
    EXPECT_TRUE(IsTransferCommand("QDFTP U a b c d"));
    EXPECT_TRUE(IsTransferCommand("qdftp.exe D a b c d"));
    EXPECT_TRUE(IsTransferCommand("HttpGet x y /AUTO"));
    EXPECT_FALSE(IsTransferCommand("notepad QDFTP"));
    EXPECT_FALSE(IsTransferCommand(""));
    EXPECT_EQ(SplitCommandLine("a \"b c\" \"\" d"), (std::vector<std::string>{"a", "b c", "", "d"}));
    ScriptingRecord s;
    s.Command = "notepad.exe";
    EXPECT_FALSE(PrepareTransferLaunch(s, {}));
}

} // namespace
