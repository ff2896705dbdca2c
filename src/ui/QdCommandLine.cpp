#include "ui/QdCommandLine.h"

#include "data/Startup.h"
#include "data/Text.h"

namespace qdui {

QdCommandLine QdCommandLine::parse(const std::vector<std::string>& args) {
    QdCommandLine c;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string u = qd::text::upperAscii(a);
        if (u == "/I" || u == "/CONFIG") {
            c.switches.push_back(a);
        } else if (u.rfind("USER=", 0) == 0) {
            if (a.size() == 5) {
                c.error = "User= needs a user name";
                return c;
            }
            c.switches.push_back(a);
        } else if (a == "--data" || a.rfind("--data=", 0) == 0) {
            std::string dir;
            if (a == "--data") {
                if (i + 1 >= args.size()) {
                    c.error = "--data needs the name of a folder";
                    return c;
                }
                dir = args[++i];
            } else {
                dir = a.substr(7);
            }
            if (dir.empty()) {
                c.error = "--data needs the name of a folder";
                return c;
            }
            c.dataDir = dir;
        } else if (a == "--help" || a == "-h") {
            c.help = true;
        } else if (a == "--version") {
            c.version = true;
        } else {
            c.error = "unknown argument '" + a + "'";
            return c;
        }
    }
    return c;
}

std::string qdUsageText() {
    return "usage: qd [--data DIR] [/I [/CONFIG]] [User=NAME]\n"
           "  --data DIR   use the data folder DIR (else the current folder when it holds\n"
           "               the data, else the one PATHS.INI names, else one you choose)\n"
           "  /I           the scheduler is inactive for this run: nothing is performed\n"
           "  /CONFIG      with /I: the options window does not warn about it\n"
           "  User=NAME    work as user NAME instead of the login name\n"
           "  --help       this text\n"
           "  --version    the program's version\n"
           "A second qd on the same data folder brings the running one to the front.\n";
}

std::string qdVersionText() {
    std::string text = "qd (";
    text.append(qd::kProductName).append(") ").append(qd::kProductVersion).append("\n");
    return text;
}

} // namespace qdui
