#include "Qdctl.h"

#include "Context.h"
#include "FieldValues.h"

#include "data/Calendar.h"
#include "data/FileModes.h"
#include "data/IniFile.h"
#include "data/Protection.h"
#include "data/Startup.h"
#include "platform/null/NullDesktop.h"
#include "platform/secret/Passphrase.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace qdctl {
namespace {

std::string usageText() {
    std::string text =
        "usage: qdctl [--data DIR] [--json] [--answer yes|no] [--now \"YYYY-MM-DD HH:MM[:SS[.cc]]\"]\n"
        "             [--passphrase-fd N] "
        "COMMAND ...\ncommands:\n";
    for (const auto& cmd : commands())
        text += cmd.usage;
    text += "Dates are YYYY-MM-DD or day numbers, times HH:MM[:SS[.cc]] or time numbers;\n"
            "fields are named as SCH:Date, C_:LastName (any case).\n";
    return text;
}

std::filesystem::path chooseStart() {
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    if (std::filesystem::exists(qd::findFileNoCase(cwd, "QD97.TPS"), ec) ||
        std::filesystem::exists(qd::findFileNoCase(cwd, "PATHS.INI"), ec))
        return cwd;
    // Elsewhere, start where the program keeps its own files (and the pointer to the data).
    const auto install = qd::defaultInstallFolder();
    std::string made;
    qd::createPrivateFolder(install, made);
    return install;
}

bool openDataSet(Context& c) {
    std::filesystem::path folder;
    if (c.dataDir) {
        std::error_code ec;
        folder = std::filesystem::absolute(*c.dataDir, ec);
        if (ec) {
            c.failed("cannot use data folder " + *c.dataDir + ": " + ec.message());
            return false;
        }
        std::string made;
        if (!qd::createPrivateFolder(folder, made) || !std::filesystem::is_directory(folder, ec)) {
            c.failed("cannot use data folder " + folder.string() + ": " +
                     (made.empty() ? "not a folder" : made));
            return false;
        }
    } else {
        folder = qd::locateDataFolder(chooseStart(), c.ui).folder;
    }
    if (const std::string why = qd::unsafeDataFolder(folder); !why.empty()) {
        c.failed(why);
        return false;
    }
    c.startup = std::make_unique<qd::Startup>(c.ui, c.now());
    c.startup->beginAt(folder);
    if (qd::isProtected(folder) || (c.passphraseFd && !qd::opensWithOwnerPassword(folder))) {
        std::string why;
        const auto passphrase = qd::obtainPassphrase(
            folder, qd::PassphraseSources{&c.secrets(), c.passphraseFd, c.io.interactive, {}}, why);
        if (!passphrase) {
            c.failed(why);
            return false;
        }
        c.data().setPassphrase(*passphrase);
    }
    return true;
}

} // namespace

std::unique_ptr<qd::Desktop> Context::openDesktop() const {
    if (desktopFactory)
        if (auto desktop = desktopFactory()) return desktop;
    return qd::openNullDesktop();
}

int Context::usage(const std::string& why) {
    io.err << "qdctl: " << why << "\n" << usageText();
    return kUsage;
}

int Context::failed(const std::string& why) {
    io.err << "qdctl: " << why << "\n";
    return kFailed;
}

std::optional<qd::Moment> parseMoment(const std::string& text) {
    const auto blank = text.find(' ');
    const auto date = parseIsoDate(text.substr(0, blank));
    if (!date) return std::nullopt;
    if (blank == std::string::npos) return qd::Moment{static_cast<qd::Date>(*date), 1};
    const auto time = parseClockTime(text.substr(blank + 1));
    if (!time) return std::nullopt;
    return qd::Moment{static_cast<qd::Date>(*date), static_cast<qd::Time>(*time)};
}

int run(const std::vector<std::string>& args, Io io, DesktopFactory desktop) {
    Context c(io, std::move(desktop));
    std::size_t pos = 0;
    while (pos < args.size() && args[pos].rfind("--", 0) == 0) {
        const std::string& opt = args[pos];
        if (opt == "--json") {
            c.json = true;
        } else if (opt == "--data" && pos + 1 < args.size()) {
            if (args[pos + 1].empty()) return c.usage("--data takes the name of a folder");
            c.dataDir = args[++pos];
        } else if (opt == "--answer" && pos + 1 < args.size()) {
            const std::string& a = args[++pos];
            if (a != "yes" && a != "no") return c.usage("--answer takes yes or no");
            c.ui.answer = a == "yes";
        } else if (opt == "--now" && pos + 1 < args.size()) {
            const auto m = parseMoment(args[++pos]);
            if (!m) return c.usage("--now takes \"YYYY-MM-DD HH:MM[:SS[.cc]]\", got '" + args[pos] + "'");
            c.clock = std::make_unique<qd::ManualClock>(*m);
        } else if (opt == "--passphrase-fd" && pos + 1 < args.size()) {
            const std::string& n = args[++pos];
            if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos || n.size() > 6)
                return c.usage("--passphrase-fd takes a file descriptor number, got '" + n + "'");
            c.passphraseFd = std::stoi(n);
        } else if (opt == "--help") {
            io.out << usageText();
            return kOk;
        } else {
            return c.usage("unknown option '" + opt + "'");
        }
        ++pos;
    }
    if (pos >= args.size()) return c.usage("no command");
    const std::string name = args[pos++];
    if (name == "help") {
        io.out << usageText();
        return kOk;
    }
    for (const auto& cmd : commands()) {
        if (name != cmd.name) continue;
        if (cmd.needsData && !openDataSet(c)) return kFailed;
        return cmd.run(c, args, pos);
    }
    return c.usage("unknown command '" + name + "'");
}

} // namespace qdctl
