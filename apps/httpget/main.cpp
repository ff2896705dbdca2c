// httpget: downloads one address to a file for the "HTTP Download" script step.
//
//   httpget <address> <local file> [/AUTO]
//
// "/AUTO" (any case) is accepted and changes nothing: the program never asks.
// Redirects are followed (http and https only). An empty local name, or one
// that is an existing folder, takes the address's last path part
// ("index.html" when there is none). The download goes to a new private
// partial file beside the target (remote/PartFile.h) and replaces the target
// only when complete, so a failed download leaves an existing file as it was.
//
// Exit codes: 0 done, 1 other failure (server error), 2 bad command line,
// 3 cannot connect, 4 login refused (401), 5 not found (404, 410), 6 local
// file error. Messages go to standard error.
#include "data/Text.h"
#include "remote/CurlResult.h"
#include "remote/ExitCodes.h"
#include "remote/PartFile.h"

#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace qd::remote;

namespace {

void fail(const std::string& what) {
    std::fprintf(stderr, "httpget: %s\n", what.c_str());
}

size_t writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

std::string lastPathPart(const std::string& address) {
    std::string path = address;
    if (auto q = path.find_first_of("?#"); q != std::string::npos) path.resize(q);
    if (auto scheme = path.find("://"); scheme != std::string::npos) path = path.substr(scheme + 3);
    const auto slash = path.find('/');
    if (slash == std::string::npos) return "index.html";
    path = path.substr(slash);
    const auto last = path.find_last_of('/');
    const std::string name = path.substr(last + 1);
    return name.empty() ? "index.html" : name;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        if (qd::text::upperAscii(argv[i]) != "/AUTO") args.emplace_back(argv[i]);
    if (args.size() != 2 || args[0].empty()) {
        std::fprintf(stderr, "usage: httpget <address> <local file> [/AUTO]\n");
        return kBadCommandLine;
    }
    const std::string& address = args[0];
    std::string local = args[1];
    std::error_code ec;
    if (local.empty())
        local = lastPathPart(address);
    else if (fs::is_directory(local, ec))
        local = (fs::path(local) / lastPathPart(address)).string();
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return kFailed;
    PartFile::removeOnTermination();
    PartFile part;
    if (part.create(local, "httpget-part") != 0) {
        fail("cannot write " + local);
        curl_global_cleanup();
        return kLocalFileError;
    }
    CURL* curl = curl_easy_init();
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 120L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "httpget");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, part.stream());
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    curl_global_cleanup();

    int code = exitCodeFor(rc);
    if (code == kOk && status >= 400) {
        code = exitCodeForHttpStatus(status);
        fail("the server answered " + std::to_string(status));
    } else if (code != kOk) {
        fail(error[0] ? error : curl_easy_strerror(rc));
    }
    if (code != kOk) {
        part.discard();
    } else if (part.commit() != 0) {
        code = kLocalFileError;
        fail("cannot write " + local);
    }
    return code;
}
