#include "data/Redact.h"

namespace qd {

std::string maskCredentials(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t done = 0; // text before this is in `out`
    std::size_t from = 0;
    for (;;) {
        const std::size_t scheme = text.find("://", from);
        if (scheme == std::string_view::npos) break;
        const std::size_t start = scheme + 3;
        // The authority ends at the path, query or fragment, or where the
        // address itself ends in the surrounding text.
        std::size_t end = text.find_first_of("/?#\"' \t\r\n<>", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view authority = text.substr(start, end - start);
        // The last "@" ends the user part, so a password holding "@" is hidden whole.
        const std::size_t at = authority.rfind('@');
        const std::size_t colon = at == std::string_view::npos ? at : authority.substr(0, at).find(':');
        if (colon != std::string_view::npos) {
            out.append(text.substr(done, start + colon + 1 - done));
            out += "***";
            done = start + at;
        }
        from = end;
    }
    out.append(text.substr(done));
    return out;
}

} // namespace qd
