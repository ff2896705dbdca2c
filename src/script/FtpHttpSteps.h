// FTP and HTTP "File Actions" steps run as separate transfer programs, qdftp
// and httpget, whose exit code (remote/ExitCodes.h) lands in "ExitCode".
//
// When a script is queued, such a step becomes a waiting "Start Program" entry
// (RewriteTransferStep):
//   FTP Upload     QDFTP U <local file> <remote path> <host> <user>
//   FTP Download   QDFTP D <remote path> <local file> <host> <user>
//   HTTP Download  HTTPGET <address> <local file> /AUTO
// with options "1211" (wait, normal priority, show normally, translate
// variables) and a limit of 360000 seconds. Each argument is quoted by
// QuoteTransferArgument. The FTP password is not put on the command line, where
// every local user could read it from the process list: the entry keeps it in
// SCR:DDECommand, and the launch hands it to qdftp in the environment
// variable QDFTP_PASSWORD.
//
// The interpreter starts a "Start Program" entry whose command names QDFTP or
// HTTPGET (IsTransferCommand) with the program, arguments and environment of
// PrepareTransferLaunch instead of the general program start, polls the
// returned process on each tick (259 while it runs), and stores the exit code
// in "ExitCode". The command is split into arguments by the rule of every
// program start (platform/CommandLine.h).
#pragma once

#include "data/Records.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

class ScriptValues;

// SCR:DDEApplicationTopic of an FTP step: the user name in its first 128
// characters (padded with blanks when a password follows), the password after.
inline constexpr std::size_t kFtpUserWidth = 128;
struct FtpLogin {
    std::string user; // without trailing blanks
    std::string password;
};
FtpLogin ftpLoginOf(std::string_view topic);
// The topic for a user (cut to 128 characters, never inside a character) and a password.
std::string ftpTopic(std::string_view user, std::string_view password);

// "FTP Upload", "FTP Download" or "HTTP Download".
bool IsTransferOperation(std::string_view operation);

// One operand of a transfer command line: one pair of enclosing double quotes
// and trailing blanks are removed; a value holding a blank, "/" or "\" is
// enclosed in double quotes (without blanks around it); an empty value is
// written '""'. Other values are written as platform/CommandLine.h quotes them,
// so that splitting the command line gives every operand back unchanged.
std::string QuoteTransferArgument(std::string_view value);

// The "Start Program" entry for a transfer step; nullopt for other steps.
std::optional<ScriptingRecord> RewriteTransferStep(const ScriptingRecord& fileActionStep);

// Whether a command's first word names a transfer program (QDFTP or HTTPGET,
// any case, with or without ".EXE").
bool IsTransferCommand(std::string_view command);

struct TransferStartOptions {
    ScriptValues* values = nullptr;      // for translating the operands
    bool translateFilenames = false;     // TRANSLATEFILENAMES: translate even without option 4
    std::filesystem::path programFolder; // where qdftp and httpget are (Process::programFolder())
    std::filesystem::path workingFolder; // empty: the entry's SCR:Path, else the current folder
};

// What a transfer entry runs: the program, its arguments, the extra environment.
struct ProgramLaunch {
    std::filesystem::path program;
    std::vector<std::string> arguments;   // argv[1...]
    std::vector<std::string> environment; // "NAME=value" added to the inherited environment
    std::filesystem::path workingFolder;
    std::string visibleCommand; // the command line as shown and logged (no password)
};

// The launch of a transfer "Start Program" entry (translating the command,
// folder and password when the entry's option 4 is "1" or translateFilenames
// is set); nullopt when the command does not name a transfer program.
std::optional<ProgramLaunch> PrepareTransferLaunch(const ScriptingRecord& startEntry,
                                                   const TransferStartOptions& options);

} // namespace qd
