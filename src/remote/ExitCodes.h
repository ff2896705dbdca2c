// Exit codes of the FTP and HTTP programs qdftp and httpget, which the "Start
// Program" step that runs them stores in the variable "ExitCode".
#pragma once

namespace qd::remote {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;         // any other failure (server error, interrupted transfer)
inline constexpr int kBadCommandLine = 2; // wrong arguments, malformed address
inline constexpr int kCannotConnect = 3;  // host unknown, connection refused or timed out
inline constexpr int kLoginRefused = 4;   // user name or password refused (FTP 530, HTTP 401)
inline constexpr int kNotFound = 5;       // remote file or folder missing (FTP 550, HTTP 404/410)
inline constexpr int kLocalFileError = 6; // local file cannot be read or written

// qdftp reads the password from this environment variable when its command
// line names none, so that the password never shows in the process list.
inline constexpr const char* kFtpPasswordVariable = "QDFTP_PASSWORD";

} // namespace qd::remote
