// What "Run" on a clipboard entry starts: the web and mail addresses and the
// program, link and shortcut paths found in its text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qd {

// Every piece found, in the order of the searches ("http:", "mailto:", ".exe",
// ".lnk", ".url", then a text that starts with "www" as "http://" + the text);
// each is opened the way the shell opens a document or address.
std::vector<std::string> clipRunTargets(std::string_view text);

} // namespace qd
