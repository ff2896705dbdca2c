// qdftp: uploads or downloads one file by FTP for the "FTP Upload" and
// "FTP Download" script steps.
//
//   qdftp U <local file> <remote path> <host> <user> [password]
//   qdftp D <remote path> <local file> <host> <user> [password]
//
// Without a password argument the password is read from the environment
// variable QDFTP_PASSWORD (which is then removed), so that it never shows in
// the process list. An empty user logs in anonymously. The host may carry a
// port ("host:2121"). A remote path ending in "/" (or empty) takes the local
// file's name; a local name that is an existing folder (or empty) takes the
// remote file's name. A download goes to a temporary file beside the target and
// replaces the target only when complete.
//
// Exit codes: 0 done, 1 other failure, 2 bad command line, 3 cannot connect,
// 4 login refused, 5 remote file or folder not found, 6 local file error.
// Messages go to standard error; the password is never printed.
#include "data/Text.h"
#include "remote/CurlResult.h"
#include "remote/ExitCodes.h"
#include "remote/PartFile.h"
#include "remote/PercentEncoding.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace qd::remote;

namespace {

void fail(const std::string& what) {
    std::fprintf(stderr, "qdftp: %s\n", what.c_str());
}

std::string remoteUrl(std::string host, std::string remote) {
    if (qd::text::upperAscii(host.substr(0, 6)) == "FTP://") host = host.substr(6);
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    for (char& c : remote)
        if (c == '\\') c = '/';
    // An absolute remote path is reached from the root, not from the login folder.
    if (!remote.empty() && remote.front() == '/')
        return "ftp://" + host + "/%2F" + percentEncodePath(remote.substr(1));
    return "ftp://" + host + "/" + percentEncodePath(remote);
}

size_t writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

size_t readFromFile(char* data, size_t size, size_t count, void* file) {
    const size_t n = std::fread(data, size, count, static_cast<std::FILE*>(file)) * size;
    if (n == 0 && std::ferror(static_cast<std::FILE*>(file))) return CURL_READFUNC_ABORT;
    return n;
}

struct Session {
    CURL* curl = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    Session() : curl(curl_easy_init()) {}
    ~Session() {
        if (curl) curl_easy_cleanup(curl);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

void common(Session& s, const std::string& url, const std::string& user, const std::string& password) {
    curl_easy_setopt(s.curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(s.curl, CURLOPT_ERRORBUFFER, s.error);
    curl_easy_setopt(s.curl, CURLOPT_PROTOCOLS_STR, "ftp,ftps");
    curl_easy_setopt(s.curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(s.curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(s.curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(s.curl, CURLOPT_LOW_SPEED_TIME, 120L);
    if (!user.empty()) {
        curl_easy_setopt(s.curl, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(s.curl, CURLOPT_PASSWORD, password.c_str());
    }
}

int report(Session& s, CURLcode rc) {
    const int code = exitCodeFor(rc);
    if (code != kOk) fail(s.error[0] ? s.error : curl_easy_strerror(rc));
    return code;
}

int upload(const std::string& local, std::string remote, const std::string& host, const std::string& user,
           const std::string& password) {
    std::FILE* in = std::fopen(local.c_str(), "rb");
    std::error_code ec;
    if (!in || fs::is_directory(local, ec)) {
        if (in) std::fclose(in);
        fail("cannot read " + local);
        return kLocalFileError;
    }
    if (remote.empty() || remote.back() == '/' || remote.back() == '\\')
        remote += fs::path(local).filename().string();
    Session s;
    common(s, remoteUrl(host, remote), user, password);
    curl_easy_setopt(s.curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(s.curl, CURLOPT_READFUNCTION, readFromFile);
    curl_easy_setopt(s.curl, CURLOPT_READDATA, in);
    const auto size = fs::file_size(local, ec);
    if (!ec) curl_easy_setopt(s.curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    const CURLcode rc = curl_easy_perform(s.curl);
    std::fclose(in);
    return report(s, rc);
}

int download(std::string remote, std::string local, const std::string& host, const std::string& user,
             const std::string& password) {
    for (char& c : remote)
        if (c == '\\') c = '/';
    const std::string remoteName = fs::path(remote).filename().string();
    std::error_code ec;
    if (local.empty())
        local = remoteName;
    else if (fs::is_directory(local, ec))
        local = (fs::path(local) / remoteName).string();
    PartFile part;
    if (part.create(local, "qdftp-part") != 0) {
        fail("cannot write " + local);
        return kLocalFileError;
    }
    Session s;
    common(s, remoteUrl(host, remote), user, password);
    curl_easy_setopt(s.curl, CURLOPT_WRITEFUNCTION, writeToFile);
    curl_easy_setopt(s.curl, CURLOPT_WRITEDATA, part.stream());
    const CURLcode rc = curl_easy_perform(s.curl);
    if (rc != CURLE_OK) {
        part.discard();
        return report(s, rc);
    }
    if (part.commit() != 0) {
        fail("cannot write " + local);
        return kLocalFileError;
    }
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr,
                     "usage: qdftp U|D <from> <to> <host> <user> [password]\n"
                     "       (the password may be given in $%s instead)\n",
                     kFtpPasswordVariable);
        return kBadCommandLine;
    }
    const std::string mode = qd::text::upperAscii(argv[1]);
    if (mode != "U" && mode != "D") {
        fail("the first argument must be U (upload) or D (download)");
        return kBadCommandLine;
    }
    std::string password;
    if (argc == 7) {
        password = argv[6];
    } else if (const char* p = std::getenv(kFtpPasswordVariable)) {
        password = p;
    }
    ::unsetenv(kFtpPasswordVariable);
    if (std::string(argv[4]).empty()) {
        fail("no host given");
        return kBadCommandLine;
    }
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return kFailed;
    PartFile::removeOnTermination();
    const int rc = mode == "U" ? upload(argv[2], argv[3], argv[4], argv[5], password)
                               : download(argv[2], argv[3], argv[4], argv[5], password);
    curl_global_cleanup();
    return rc;
}
