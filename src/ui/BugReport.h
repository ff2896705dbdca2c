// "&Report Bug": a problem report with what the program knows about itself
// (version, build, libraries, system, settings, the end of the event log),
// shown for the user to edit, then handed to the mail composer or saved to a
// file of their choice.
#pragma once

#include <QString>
#include <QWidget>

#include <cstddef>
#include <filesystem>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qd {
struct ProgramSettings;
}

namespace qdui {

// The report's text. Secrets among the settings (the lock password) are
// replaced by "(hidden)".
QString composeBugReport(const std::filesystem::path& dataFolder, const qd::ProgramSettings& settings,
                         std::size_t logLines = 200);

// Writes the text to `file`, readable by its owner only (0600), replacing the
// file whole (a new file renamed over it, so a link there is replaced, not
// followed). False with `error` set when it could not be written.
bool saveReportFile(const std::filesystem::path& file, const QString& text, QString& error);

class BugReportWindow : public QWidget {
    Q_OBJECT
public:
    BugReportWindow(const std::filesystem::path& dataFolder, const qd::ProgramSettings& settings,
                    QWidget* parent = nullptr);

    // Asks where to save; empty means cancelled. Tests put their own here.
    using SaveChooser = std::function<QString(QWidget* parent, const QString& suggested)>;
    void setSaveChooser(SaveChooser chooser) { chooser_ = std::move(chooser); }

    // Hands the report to the mail composer (subject, text). Without one the
    // window offers saving and copying only.
    using MailComposer = std::function<void(const QString& subject, const QString& text)>;
    void setMailComposer(MailComposer composer);

    QPlainTextEdit* editor() const { return editor_; }
    QString note() const;
    // The "&Save..." button: where the report went, or empty.
    QString save();
    // The "&Email..." button: opens the composer with the report; false
    // when there is no composer.
    bool email();

private:
    QPlainTextEdit* editor_;
    QLabel* note_;
    QPushButton* email_;
    SaveChooser chooser_;
    MailComposer composer_;
};

} // namespace qdui
