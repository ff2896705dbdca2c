#include "ui/BugReport.h"

#include "data/EventLog.h"
#include "data/Globals.h"
#include "data/Settings.h"
#include "data/Startup.h"
#include "ui/About.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qdui {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

bool isSecret(const qd::SettingDef& def) {
    if (def.secret) return true;
    const QString key = QString::fromUtf8(def.key.data(), static_cast<qsizetype>(def.key.size()));
    return key.endsWith("pwd", Qt::CaseInsensitive) || key.contains("password", Qt::CaseInsensitive) ||
           key.contains("passphrase", Qt::CaseInsensitive);
}

} // namespace

QString composeBugReport(const std::filesystem::path& dataFolder, const qd::ProgramSettings& settings,
                         std::size_t logLines) {
    QStringList r;
    r << "Quandrel problem report"
      << "======================="
      << "";
    r << "What happened, and what did you expect? (please describe)"
      << ""
      << ""
      << "";
    r << "Program"
      << "-------";
    r << QStringLiteral("%1, version %2").arg(q(qd::kProductName), q(qd::kProductVersion));
    const QString commit = buildCommit();
    r << (commit.isEmpty() ? QStringLiteral("Build: not from a git checkout")
                           : QStringLiteral("Build: commit %1 of %2").arg(commit, buildDate()));
    r << QStringLiteral("Data folder: %1").arg(q(dataFolder.string()));
    QStringList libs;
    for (const auto& [name, version] : libraryVersions())
        libs << name + " " + version;
    r << "Libraries: " + libs.join(", ");
    r << systemDescription();
    r << QStringLiteral("Written: %1").arg(QDateTime::currentDateTime().toString(Qt::ISODate));
    r << ""
      << "Settings"
      << "--------";
    for (const qd::SettingDef& def : qd::settingDefs()) {
        if (std::holds_alternative<std::monostate>(def.member)) continue;
        const QString key = QString::fromUtf8(def.key.data(), static_cast<qsizetype>(def.key.size()));
        r << key + "=" +
                 (isSecret(def) ? QStringLiteral("(hidden)")
                                : q(qd::effectiveText(def, qd::storedTextOf(settings, def))));
    }
    r << "User=" + q(settings.User);
    r << "" << QStringLiteral("Event log, the last %1 lines").arg(logLines)
      << "------------------------------";
    const qd::LogTail tail = qd::readLogTail(dataFolder, logLines);
    if (!tail.status)
        r << "(the log could not be read: " + q(tail.status.message) + ")";
    else if (tail.lines.empty())
        r << "(the log is empty or missing)";
    for (const std::string& line : tail.lines) {
        QString l = QString::fromUtf8(line);
        while (l.endsWith(' '))
            l.chop(1);
        r << l;
    }
    return r.join('\n') + '\n';
}

bool saveReportFile(const std::filesystem::path& file, const QString& text, QString& error) {
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    std::string temp = (folder / ".quandrel-report-XXXXXX").string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // 0600
    if (fd < 0) {
        error = QStringLiteral("Cannot write in %1: %2")
                    .arg(q(folder.string()), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += n;
    }
    ok = ok && ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
    const int saved = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), file.c_str()) == 0) return true;
    error = QStringLiteral("Cannot write %1: %2")
                .arg(q(file.string()), QString::fromLocal8Bit(std::strerror(ok ? errno : saved)));
    ::unlink(temp.c_str());
    return false;
}

BugReportWindow::BugReportWindow(const std::filesystem::path& dataFolder, const qd::ProgramSettings& settings,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName("ReportBug");
    setWindowTitle("Report Bug");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* intro =
        new QLabel("Describe the problem at the top, check what the report shows (remove anything you "
                   "would rather keep to yourself), then send it by e-mail, or save it and send the file.",
                   this);
    intro->setWordWrap(true);
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName("ReportText");
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setPlainText(composeBugReport(dataFolder, settings));
    note_ = new QLabel(this);
    note_->setObjectName("ReportNote");
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    email_ = new QPushButton("&Email...", this);
    email_->setObjectName("Email");
    email_->setAccessibleName("Email");
    email_->setToolTip("Open the report in a new e-mail message");
    connect(email_, &QPushButton::clicked, this, [this] { this->email(); });
    auto* save = new QPushButton("&Save...", this);
    save->setObjectName("Save");
    auto* copy = new QPushButton("&Copy", this);
    copy->setObjectName("Copy");
    auto* close = new QPushButton("Cl&ose", this);
    close->setObjectName("Close");
    connect(save, &QPushButton::clicked, this, [this] { this->save(); });
    connect(copy, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(editor_->toPlainText());
        note_->setText("The report is on the clipboard.");
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(note_, 1);
    buttons->addWidget(email_);
    buttons->addWidget(save);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(editor_, 1);
    layout->addLayout(buttons);
    resize(720, 560);

    chooser_ = [](QWidget* p, const QString& suggested) {
        return QFileDialog::getSaveFileName(p, "Save the Problem Report", suggested, "Text files (*.txt)");
    };
    setMailComposer({});
}

void BugReportWindow::setMailComposer(MailComposer composer) {
    composer_ = std::move(composer);
    email_->setEnabled(static_cast<bool>(composer_));
    note_->setText(composer_
                       ? QString()
                       : QStringLiteral("E-mail is not available here: save the report and send the file."));
}

bool BugReportWindow::email() {
    if (!composer_) return false;
    composer_(QStringLiteral("Quandrel problem report"), editor_->toPlainText());
    note_->setText("The report is in a new e-mail message: add the address and send it.");
    return true;
}

QString BugReportWindow::note() const {
    return note_->text();
}

QString BugReportWindow::save() {
    const QString suggested =
        QDir::home().filePath(QStringLiteral("quandrel-problem-report-%1.txt")
                                  .arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
    const QString chosen = chooser_ ? chooser_(this, suggested) : QString();
    if (chosen.isEmpty()) return {};
    QString error;
    if (!saveReportFile(chosen.toStdString(), editor_->toPlainText(), error)) {
        note_->setText(error);
        return {};
    }
    note_->setText(QStringLiteral("The report was saved to %1 (readable by you only).").arg(chosen));
    return chosen;
}

} // namespace qdui
