#include "data/Globals.h"

#include "data/TableDefs.h"

#include <string_view>

namespace qd {
CommandLineSwitches CommandLineSwitches::parse(const std::vector<std::string>& args) {
    CommandLineSwitches s;
    constexpr std::string_view kUser = "User=";
    for (const std::string& arg : args) {
        if (equalsNoCase(arg, "/I")) {
            s.inactive = true;
        } else if (equalsNoCase(arg, "/CONFIG")) {
            s.config = true;
        } else if (arg.size() >= kUser.size() &&
                   equalsNoCase(std::string_view(arg).substr(0, kUser.size()), kUser)) {
            // The last one wins; "User=" alone names nobody and keeps the login name.
            std::string name = arg.substr(kUser.size());
            if (!name.empty()) s.user = std::move(name);
        }
    }
    return s;
}

} // namespace qd
