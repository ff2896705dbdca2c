#include "clipboard/ClipRun.h"

#include "data/Text.h"

namespace qd {

namespace {

bool blank(std::string_view s) {
    return text::trim(s).empty();
}

// An address: from where the marker starts, at most 255 characters, cut
// before the first blank or double quote.
void address(std::string_view t, const std::string& lower, const char* marker,
             std::vector<std::string>& out) {
    const auto pos = lower.find(marker);
    if (pos == std::string::npos) return;
    std::string_view piece = t.substr(pos, 255);
    const auto end = piece.find_first_of(" \"");
    if (end != std::string_view::npos) piece = piece.substr(0, end);
    if (!blank(piece)) out.emplace_back(piece);
}

// A path ending in the extension: back from the extension to a double quote
// when the piece holds one, else to a blank; the path starts after it.
void path(std::string_view t, const std::string& lower, const char* extension,
          std::vector<std::string>& out) {
    const auto pos = lower.find(extension);
    if (pos == std::string::npos) return;
    const std::string_view piece = t.substr(0, pos + std::string_view(extension).size());
    const std::string_view before = piece.substr(0, pos);
    const char stop = piece.find('"') != std::string_view::npos ? '"' : ' ';
    const auto from = before.rfind(stop);
    const std::string_view result = from == std::string_view::npos ? piece : piece.substr(from + 1);
    if (!blank(result)) out.emplace_back(result);
}

} // namespace

std::vector<std::string> clipRunTargets(std::string_view t) {
    std::vector<std::string> out;
    const std::string lower = text::lowerAscii(t);
    address(t, lower, "http:", out);
    address(t, lower, "mailto:", out);
    path(t, lower, ".exe", out);
    path(t, lower, ".lnk", out);
    path(t, lower, ".url", out);
    if (t.substr(0, 3) == "www") out.push_back("http://" + std::string(text::trimRight(t)));
    return out;
}

} // namespace qd
