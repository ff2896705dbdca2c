// The About window, what the program knows about its build and the libraries
// it runs with, and the user manual behind the Help entries.
#pragma once

#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

class QTextBrowser;

namespace qdui {

// The commit and the date of the build ("" when not built from a git checkout).
QString buildCommit();
QString buildDate();

// Name and version of each library the program runs with, as linked (read
// from the libraries themselves at run time, not from their headers).
std::vector<std::pair<QString, QString>> libraryVersions();

// The operating system, the desktop and the window system, one line each.
QStringList systemDescription();

// The licence text shipped with the program and the notices of the libraries.
QString licenceText();

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(std::filesystem::path dataFolder, QWidget* parent = nullptr);
    // Everything the window shows, as plain text (also what a copy puts on the clipboard).
    QString text() const { return text_; }

private:
    QString text_;
};

// Where the user manual is: the installed copy next to the program
// (../share/doc/quandrel/manual.md), else the one in the source tree the
// program was built from; empty when neither exists.
std::filesystem::path manualPath();

// Opens the manual in the desktop's viewer for it. When the desktop has no
// viewer (or the opener says it failed), the manual is shown in a window of
// the program with a note saying why. `opener` stands in for the desktop in
// tests; by default QDesktopServices::openUrl. Returns the window shown, or
// nullptr when the desktop opened it or there is no manual (then `note` says so).
using UrlOpener = std::function<bool(const QUrl&)>;
QWidget* openManual(QWidget* parent, QString& note, const UrlOpener& opener = {},
                    const std::filesystem::path& manual = manualPath());

} // namespace qdui
