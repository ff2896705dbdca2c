#include "script/FtpHttpSteps.h"

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

TEST(FtpHttpStepsTest, QuotingRule) {
    EXPECT_EQ(QuoteTransferArgument("plain"), "plain");
    EXPECT_EQ(QuoteTransferArgument("plain   "), "plain");
    EXPECT_EQ(QuoteTransferArgument("with blank"), "\"with blank\"");
    EXPECT_EQ(QuoteTransferArgument("a/b"), "\"a/b\"");
    EXPECT_EQ(QuoteTransferArgument("a\\b"), "\"a\\b\"");
    EXPECT_EQ(QuoteTransferArgument("\"quoted\""), "quoted");
    EXPECT_EQ(QuoteTransferArgument("\" x y \""), "\"x y\"");
    EXPECT_EQ(QuoteTransferArgument("\"\""), "\"\"");
    EXPECT_EQ(QuoteTransferArgument(""), "\"\"");
    // Quote characters and tabs are quoted for the command-line splitter.
    EXPECT_EQ(QuoteTransferArgument("Bob's"), "\"Bob's\"");
    EXPECT_EQ(QuoteTransferArgument("a\tb"), "\"a\tb\"");
}

TEST(FtpHttpStepsTest, EveryOperandComesBackWholeWhateverItHolds) {
    // Operands with quote characters, apostrophes and tabs: the launch must get
    // each one back as written, whatever the other operands hold.
    const std::vector<std::string> files{"it's.txt", "say \"hi\".txt", "tab\there", "a'b c'd", "\"\"\"", "'"};
    for (const std::string& local : files) {
        for (const std::string& user : {std::string("o'neil"), std::string("plain"), std::string("x\"y")}) {
            ScriptingRecord step = ftpStep("FTP Upload", user, "");
            step.Command = local;
            step.Path = "/in/" + local;
            auto entry = RewriteTransferStep(step);
            ASSERT_TRUE(entry);
            TransferStartOptions options;
            options.programFolder = "/opt/qd/bin";
            auto launch = PrepareTransferLaunch(*entry, options);
            ASSERT_TRUE(launch) << entry->Command;
            // One pair of enclosing quotes is removed from an operand.
            const std::string expected = local == "\"\"\"" ? "\"" : local;
            EXPECT_EQ(launch->arguments,
                      (std::vector<std::string>{"U", expected, "/in/" + local, "ftp.example.org", user}))
                << entry->Command;
        }
    }
}

TEST(FtpHttpStepsTest, FtpUploadBecomesAWaitingStartWithoutThePassword) {
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

TEST(FtpHttpStepsTest, FtpDownloadAndHttpDownloadCommands) {
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

TEST(FtpHttpStepsTest, LaunchPassesThePasswordInTheEnvironmentOnly) {
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

TEST(FtpHttpStepsTest, LaunchTranslatesEachArgumentOnceAndKeepsItWhole) {
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

TEST(FtpHttpStepsTest, RecognisesTransferCommands) {
    EXPECT_TRUE(IsTransferCommand("QDFTP U a b c d"));
    EXPECT_TRUE(IsTransferCommand("qdftp.exe D a b c d"));
    EXPECT_TRUE(IsTransferCommand("HttpGet x y /AUTO"));
    EXPECT_FALSE(IsTransferCommand("notepad QDFTP"));
    EXPECT_FALSE(IsTransferCommand(""));
    ScriptingRecord s;
    s.Command = "notepad.exe";
    EXPECT_FALSE(PrepareTransferLaunch(s, {}));
}

} // namespace

namespace {

TEST(FtpHttpStepsTest, LoginKeepsWholeCharactersAtTheUserWidth) {
    // 127 ASCII letters and a two-byte letter fill the 128 characters of the user.
    const std::string user = std::string(127, 'u') + "\xC3\xA9";
    const std::string topic = ftpTopic(user + "zz", "p\xC3\xA4ss");
    EXPECT_EQ(topic, user + "p\xC3\xA4ss");
    const FtpLogin login = ftpLoginOf(topic);
    EXPECT_EQ(login.user, user);
    EXPECT_EQ(login.password, "p\xC3\xA4ss");

    // A short user is padded to 128 characters only when a password follows.
    EXPECT_EQ(ftpTopic("\xC3\xA9mile", ""), "\xC3\xA9mile");
    EXPECT_EQ(ftpTopic("\xC3\xA9mile", "pw").size(), 128u + 1u + 2u);
    EXPECT_EQ(ftpLoginOf(ftpTopic("\xC3\xA9mile", "pw")).user, "\xC3\xA9mile");
    EXPECT_EQ(ftpLoginOf(ftpTopic("\xC3\xA9mile", "pw")).password, "pw");
    EXPECT_EQ(ftpLoginOf("").user, "");
}

} // namespace
