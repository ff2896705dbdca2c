// Posting an article to a newsgroup over NNTP (RFC 3977): a small client on a
// socket, since the mail library has no NNTP posting.
#pragma once

#include <filesystem>
#include <string>

namespace qd {

struct NewsArticle {
    std::string host; // "host" or "host:port" (port 119 when none)
    std::string from;
    std::string organization;
    std::string newsgroups;
    std::string subject;
    std::string body;
    std::string mailer;
    std::string user; // AUTHINFO login when not empty
    std::string password;
    std::filesystem::path transcript; // the dialogue is appended here (empty: none)
    int timeoutSeconds = 60;
};

// Posts the article: 0 for success, else a mail result code (ServerError with
// the server's reply in `serverReply`).
int PostNewsArticle(const NewsArticle& article, std::string& serverReply);

} // namespace qd
