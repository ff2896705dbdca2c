#include "remote/CurlResult.h"

#include "remote/ExitCodes.h"

namespace qd::remote {

int exitCodeFor(CURLcode result) {
    switch (result) {
    case CURLE_OK:
        return kOk;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return kBadCommandLine;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_WEIRD_SERVER_REPLY:
        return kCannotConnect;
    case CURLE_LOGIN_DENIED:
        return kLoginRefused;
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_REMOTE_ACCESS_DENIED:
        return kNotFound;
    case CURLE_WRITE_ERROR:
    case CURLE_READ_ERROR:
    case CURLE_FILE_COULDNT_READ_FILE:
        return kLocalFileError;
    default:
        return kFailed;
    }
}

int exitCodeForHttpStatus(long status) {
    if (status < 400) return kOk;
    if (status == 404 || status == 410) return kNotFound;
    if (status == 401 || status == 407) return kLoginRefused;
    return kFailed;
}

} // namespace qd::remote
