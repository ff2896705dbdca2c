// qd_dbase: the data tool, a window on the tables of a Quandrel data folder.
//
//   qd_dbase [--data DIR] [--passphrase-fd N]
//
// Without --data the data folder is the current folder (the program starts it
// there). A data set protected with a passphrase is opened with the one the
// desktop keyring keeps, else one line read from --passphrase-fd N, else the
// user types it.
// Exit codes: 0 closed, 1 the data set cannot be opened, 2 bad usage.
#include "DataToolWindow.h"

#include "data/ErrorClass.h"
#include "data/Protection.h"
#include "platform/secret/Passphrase.h"
#include "ui/PassphraseWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

// The core's messages as message boxes (the tool asks nothing: it reports).
struct BoxUserInterface : qd::UserInterface {
    void message(const std::string& title, const std::string& text, qd::MessageIcon) override {
        QMessageBox::warning(nullptr, QString::fromStdString(title), QString::fromStdString(text));
    }
    bool ask(const std::string& title, const std::string& text) override {
        return QMessageBox::question(nullptr, QString::fromStdString(title), QString::fromStdString(text)) ==
               QMessageBox::Yes;
    }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void setClipboardText(const std::string& text) override {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    }
};

int usage() {
    std::cerr << "usage: qd_dbase [--data DIR] [--passphrase-fd N]\n";
    return 2;
}

// The backup program beside this one.
QString backupProgram() {
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("klvback");
    return QFileInfo(path).isExecutable() ? path : QString();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quandrel Data Files");
    std::vector<std::string> args(argv + 1, argv + argc);
    std::filesystem::path folder = std::filesystem::current_path();
    std::optional<int> passphraseFd;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--data" && i + 1 < args.size() && !args[i + 1].empty())
            folder = args[++i];
        else if (args[i] == "--passphrase-fd" && i + 1 < args.size() && !args[i + 1].empty() &&
                 args[i + 1].size() < 7 && args[i + 1].find_first_not_of("0123456789") == std::string::npos)
            passphraseFd = std::stoi(args[++i]);
        else if (args[i] == "--help")
            return usage() - 2;
        else
            return usage();
    }
    std::error_code ec;
    folder = std::filesystem::absolute(folder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        QMessageBox::critical(nullptr, "Quandrel Data Files",
                              QString::fromStdString("Not a data folder: " + folder.string()));
        return 1;
    }

    BoxUserInterface ui;
    qd::ErrorClass errors(&ui);
    qd::DataSet ds(folder, errors);
    if (qd::isProtected(folder) || (passphraseFd && !qd::opensWithOwnerPassword(folder))) {
        auto keyring = qd::openDesktopKeyring();
        std::string why;
        auto passphrase =
            qd::obtainPassphrase(folder,
                                 qd::PassphraseSources{keyring.get(), passphraseFd, true,
                                                       qdui::passphraseWindow("Quandrel Data Files")},
                                 why);
        if (!passphrase) {
            QMessageBox::critical(nullptr, "Quandrel Data Files", QString::fromStdString(why));
            return 1;
        }
        ds.setPassphrase(*passphrase);
    }
    qdtool::DataToolWindow window(ds, backupProgram());
    window.show();
    return QApplication::exec();
}
