// The exit code of qdftp and httpget for what libcurl reported.
#pragma once

#include <curl/curl.h>

namespace qd::remote {

// The exit code for a finished libcurl transfer (ExitCodes.h).
int exitCodeFor(CURLcode result);

// The exit code for an HTTP status of a transfer that libcurl completed:
// kOk below 400, kNotFound for 404 and 410, kLoginRefused for 401 and 407,
// kFailed for any other error status.
int exitCodeForHttpStatus(long status);

} // namespace qd::remote
