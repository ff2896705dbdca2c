#include "remote/CurlResult.h"
#include "remote/ExitCodes.h"

#include <gtest/gtest.h>

#include <set>

using namespace qd::remote;

namespace {

TEST(CurlResultTest, LibcurlResultsMapToTheProgramsExitCodes) {
    EXPECT_EQ(exitCodeFor(CURLE_OK), kOk);
    EXPECT_EQ(exitCodeFor(CURLE_URL_MALFORMAT), kBadCommandLine);
    EXPECT_EQ(exitCodeFor(CURLE_COULDNT_CONNECT), kCannotConnect);
    EXPECT_EQ(exitCodeFor(CURLE_COULDNT_RESOLVE_HOST), kCannotConnect);
    EXPECT_EQ(exitCodeFor(CURLE_OPERATION_TIMEDOUT), kCannotConnect);
    EXPECT_EQ(exitCodeFor(CURLE_LOGIN_DENIED), kLoginRefused);
    EXPECT_EQ(exitCodeFor(CURLE_REMOTE_FILE_NOT_FOUND), kNotFound);
    EXPECT_EQ(exitCodeFor(CURLE_FTP_COULDNT_RETR_FILE), kNotFound);
    EXPECT_EQ(exitCodeFor(CURLE_WRITE_ERROR), kLocalFileError);
    EXPECT_EQ(exitCodeFor(CURLE_READ_ERROR), kLocalFileError);
    EXPECT_EQ(exitCodeFor(CURLE_PARTIAL_FILE), kFailed);
    EXPECT_EQ(exitCodeFor(CURLE_RECV_ERROR), kFailed);
}

TEST(CurlResultTest, HttpStatusesMapToTheProgramsExitCodes) {
    EXPECT_EQ(exitCodeForHttpStatus(200), kOk);
    EXPECT_EQ(exitCodeForHttpStatus(304), kOk);
    EXPECT_EQ(exitCodeForHttpStatus(404), kNotFound);
    EXPECT_EQ(exitCodeForHttpStatus(410), kNotFound);
    EXPECT_EQ(exitCodeForHttpStatus(401), kLoginRefused);
    EXPECT_EQ(exitCodeForHttpStatus(407), kLoginRefused);
    EXPECT_EQ(exitCodeForHttpStatus(400), kFailed);
    EXPECT_EQ(exitCodeForHttpStatus(500), kFailed);
}

TEST(CurlResultTest, ExitCodesAreDistinct) {
    const std::set<int> codes{kOk,           kFailed,   kBadCommandLine, kCannotConnect,
                              kLoginRefused, kNotFound, kLocalFileError};
    EXPECT_EQ(codes.size(), 7u);
}

} // namespace
