// klvback: backup and restore of a Quandrel data set.
//
//   klvback [--data DIR] [FILE]           back up the whole data set; FILE (as the program
//                                         passes "QD97.TPS") must be one of its files
//   klvback [--data DIR] --list           the backups, newest first
//   klvback [--data DIR] --window         a window with the backups, "Back Up Now" and a
//                                         restore that asks first
//   klvback [--data DIR] --restore NAME [--yes]
//                                         put a backup back in place of the data set, all
//                                         files or none, keeping the replaced ones as a
//                                         backup (asks first unless --yes); refused while
//                                         a scheduler runs on the data folder
// A data set protected with a passphrase is opened with the one the desktop keyring
// keeps, else one line read from --passphrase-fd N, else one typed on the terminal.
// Without --data the data folder is the current folder (the program starts it there).
// Exit codes: 0 done, 1 failed, 2 bad usage, 3 restore not confirmed.
#include "BackupWindow.h"

#include "data/Backup.h"
#include "data/Protection.h"
#include "platform/secret/Passphrase.h"
#include "ui/PassphraseWindow.h"

#include <QApplication>
#include <QLineEdit>

#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string stampNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

int usage() {
    std::cerr
        << "usage: klvback [--data DIR] [--passphrase-fd N] [FILE] | --list | --window | --restore NAME "
           "[--yes]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::filesystem::path folder = std::filesystem::current_path();
    bool list = false;
    bool yes = false;
    bool window = false;
    std::string restore;
    std::string only;
    std::optional<int> passphraseFd;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--data" && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == "--list")
            list = true;
        else if (args[i] == "--restore" && i + 1 < args.size())
            restore = args[++i];
        else if (args[i] == "--yes")
            yes = true;
        else if (args[i] == "--window")
            window = true;
        else if (args[i] == "--passphrase-fd" && i + 1 < args.size() &&
                 args[i + 1].find_first_not_of("0123456789") == std::string::npos && !args[i + 1].empty() &&
                 args[i + 1].size() < 7)
            passphraseFd = std::stoi(args[++i]);
        else if (!args[i].empty() && args[i][0] == '-')
            return usage();
        else if (only.empty())
            only = args[i];
        else
            return usage();
    }
    std::unique_ptr<QApplication> app;
    if (window) app = std::make_unique<QApplication>(argc, argv);
    std::string key;
    if (!list && (qd::isProtected(folder) || (passphraseFd && !qd::opensWithOwnerPassword(folder)))) {
        auto keyring = qd::openDesktopKeyring();
        std::string why;
        qd::PassphraseSources sources{keyring.get(), passphraseFd, window || isatty(0) != 0, {}};
        if (window) {
            sources.ask = qdui::passphraseWindow("Backup/Restore");
        }
        auto p = qd::obtainPassphrase(folder, sources, why);
        if (!p) {
            std::cerr << "klvback: " << why << "\n";
            return 1;
        }
        key = *p;
    }
    if (window) {
        qdtool::BackupWindow w(folder, key, stampNow);
        w.show();
        return QApplication::exec();
    }
    if (list) {
        for (const auto& b : qd::listBackups(folder)) {
            std::cout << b.name << "  " << b.files.size() << " files  " << b.bytes << " bytes\n";
        }
        return 0;
    }
    if (!restore.empty()) {
        if (!yes) {
            if (!isatty(0)) {
                std::cerr << "klvback: restoring replaces the data set; confirm with --yes\n";
                return 3;
            }
            std::cerr << "Restore backup " << restore << " over the data in " << folder.string()
                      << "? The current data will be replaced. [y/N] " << std::flush;
            std::string line;
            std::getline(std::cin, line);
            if (line.empty() || (line[0] != 'y' && line[0] != 'Y')) return 3;
        }
        const auto r = qd::restoreBackup(folder, restore, stampNow() + "-before-restore", key);
        if (!r.ok) {
            std::cerr << "klvback: " << r.error << "\n";
            return 1;
        }
        std::cout << "Restored " << r.files.size() << " files from " << r.folder.string() << "\n";
        if (!r.safetyFolder.empty())
            std::cout << "The replaced files were kept in " << r.safetyFolder.string() << "\n";
        return 0;
    }
    // A backup taken within the same second as another gets a suffix.
    std::string stamp = stampNow();
    for (int n = 2; std::filesystem::exists(folder / "Backups" / stamp); ++n)
        stamp = stampNow() + "-" + std::to_string(n);
    if (!only.empty() && qd::dataSetFiles(folder, only).empty()) {
        std::cerr << "klvback: " << only << " is not a data file in " << folder.string() << "\n";
        return 1;
    }
    const auto r = qd::backupDataSet(folder, stamp, {}, key);
    if (!r.ok) {
        std::cerr << "klvback: " << r.error << "\n";
        return 1;
    }
    std::cout << "Backed up " << r.files.size() << " files to " << r.folder.string() << "\n";
    return 0;
}
