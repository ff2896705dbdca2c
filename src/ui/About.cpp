#include "ui/About.h"

#include "data/Startup.h"
#include "ui/BuildInfo.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSysInfo>
#include <QTabWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <sodium.h>
#include <sqlite3.h>

namespace qdui {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// "PRAGMA cipher_version" of an in-memory database: empty when the SQLite the
// program runs with has no encryption.
QString cipherVersion() {
    sqlite3* db = nullptr;
    QString version;
    if (sqlite3_open(":memory:", &db) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA cipher_version", -1, &st, nullptr) == SQLITE_OK) {
            if (sqlite3_step(st) == SQLITE_ROW)
                if (const unsigned char* t = sqlite3_column_text(st, 0))
                    version = QString::fromUtf8(reinterpret_cast<const char*>(t));
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
    return version;
}

// Whether the desktop has a program for the manual's kind of file. The opener
// (xdg-open) starts even when it has nowhere to send the file and then fails
// where nobody sees it, so ask the desktop's file-type table first.
bool desktopHasViewerFor(const char* mimeType) {
    QProcess query;
    query.start("xdg-mime", {"query", "default", mimeType});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

bool desktopOpens(const QUrl& url) {
    if (!desktopHasViewerFor("text/markdown") && !desktopHasViewerFor("text/plain")) return false;
    return QDesktopServices::openUrl(url);
}

constexpr const char* kLibraryNotices =
    "Quandrel runs with these libraries, each under its own licence:\n"
    "  Qt 6 - GNU Lesser General Public License version 3\n"
    "  SQLCipher - BSD 3-clause licence; SQLite - public domain\n"
    "  libsodium - ISC licence\n"
    "  muParser - MIT (Expat) licence\n"
    "  libX11, libXtst, libxcb - MIT licence\n"
    "  AT-SPI, libsecret - GNU Lesser General Public License version 2.1 or later\n";

} // namespace

QString buildCommit() {
    return QStringLiteral(QD_BUILD_COMMIT);
}

QString buildDate() {
    return QStringLiteral(QD_BUILD_DATE);
}

std::vector<std::pair<QString, QString>> libraryVersions() {
    std::vector<std::pair<QString, QString>> v;
    v.emplace_back("Qt", QString::fromLatin1(qVersion()));
    v.emplace_back("SQLite", QString::fromLatin1(sqlite3_libversion()));
    const QString cipher = cipherVersion();
    v.emplace_back("SQLCipher", cipher.isEmpty() ? QStringLiteral("not present") : cipher);
    v.emplace_back("libsodium", QString::fromLatin1(sodium_version_string()));
    return v;
}

QStringList systemDescription() {
    QStringList lines;
    lines << QStringLiteral("System: %1 (kernel %2 %3)")
                 .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion());
    const auto env = [](const char* name) {
        const QString v = qEnvironmentVariable(name);
        return v.isEmpty() ? QStringLiteral("(not set)") : v;
    };
    lines << QStringLiteral("Desktop: %1, session type %2")
                 .arg(env("XDG_CURRENT_DESKTOP"), env("XDG_SESSION_TYPE"));
    lines << QStringLiteral("Window system: %1 (DISPLAY %2, WAYLAND_DISPLAY %3)")
                 .arg(QGuiApplication::platformName(), env("DISPLAY"), env("WAYLAND_DISPLAY"));
    return lines;
}

QString licenceText() {
    QString own;
    const std::filesystem::path manual = manualPath();
    if (!manual.empty()) {
        QFile f(QString::fromStdString((manual.parent_path() / "LICENSE").string()));
        if (f.open(QIODevice::ReadOnly)) own = QString::fromUtf8(f.readAll());
    }
    if (own.isEmpty()) own = QStringLiteral("No licence file accompanies this copy of Quandrel.\n");
    return own + "\n" + QString::fromLatin1(kLibraryNotices);
}

AboutWindow::AboutWindow(std::filesystem::path dataFolder, QWidget* parent) : QDialog(parent) {
    setObjectName("About");
    setWindowTitle("About Quandrel");

    QStringList lines;
    lines << QStringLiteral("%1, version %2").arg(q(qd::kProductName), q(qd::kProductVersion));
    const QString commit = buildCommit();
    lines << (commit.isEmpty() ? QStringLiteral("Build: not from a git checkout")
                               : QStringLiteral("Build: commit %1 of %2").arg(commit, buildDate()));
    lines << QStringLiteral("Data folder: %1").arg(q(dataFolder.string()));
    lines << "";
    for (const auto& [name, version] : libraryVersions())
        lines << QStringLiteral("%1 %2").arg(name, version);
    lines << "";
    lines << systemDescription();
    text_ = lines.join('\n');

    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(64, 64));
    auto* title =
        new QLabel(QStringLiteral("<b style='font-size:14pt'>%1</b><br>Version %2<br>"
                                  "A resident task scheduler, reminder and desktop-automation tool.")
                       .arg(q(qd::kProductName).toHtmlEscaped(), q(qd::kProductVersion)),
                   this);
    auto* head = new QHBoxLayout;
    head->addWidget(icon, 0, Qt::AlignTop);
    head->addWidget(title, 1);

    auto* info = new QTextBrowser(this);
    info->setObjectName("AboutInfo");
    info->setPlainText(text_);
    auto* licence = new QTextBrowser(this);
    licence->setObjectName("AboutLicence");
    licence->setPlainText(licenceText());
    auto* tabs = new QTabWidget(this);
    tabs->addTab(info, "&Program");
    tabs->addTab(licence, "&Licence");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton("&Copy", QDialogButtonBox::ActionRole);
    copy->setToolTip("Copy the program information to the clipboard");
    connect(copy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(text_); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);
    resize(560, 420);
}

std::filesystem::path manualPath() {
    std::error_code ec;
    const std::filesystem::path program = QCoreApplication::applicationDirPath().toStdString();
    const std::filesystem::path candidates[] = {
        program / ".." / QD_INSTALL_DOCDIR / "manual.md",
        std::filesystem::path(QD_SOURCE_DIR) / "docs" / "manual.md",
    };
    for (const auto& p : candidates)
        if (std::filesystem::is_regular_file(p, ec)) return std::filesystem::weakly_canonical(p, ec);
    return {};
}

QWidget* openManual(QWidget* parent, QString& note, const UrlOpener& opener,
                    const std::filesystem::path& manual) {
    note.clear();
    std::error_code ec;
    if (manual.empty() || !std::filesystem::is_regular_file(manual, ec)) {
        note = QStringLiteral("The user manual (manual.md) is not installed with this copy of Quandrel.");
        return nullptr;
    }
    const QUrl url = QUrl::fromLocalFile(q(manual.string()));
    const bool opened = opener ? opener(url) : desktopOpens(url);
    if (opened) return nullptr;

    QFile f(q(manual.string()));
    if (!f.open(QIODevice::ReadOnly)) {
        note =
            QStringLiteral("The user manual %1 cannot be read: %2").arg(q(manual.string()), f.errorString());
        return nullptr;
    }
    note = QStringLiteral("No program to show %1 is set up on this desktop: the manual is shown here.")
               .arg(q(manual.string()));
    auto* window = new QWidget(parent, Qt::Window);
    window->setObjectName("Manual");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle("Quandrel User Manual");
    auto* why = new QLabel(note, window);
    why->setWordWrap(true);
    auto* text = new QTextBrowser(window);
    text->setObjectName("ManualText");
    text->setOpenExternalLinks(true);
    text->setMarkdown(QString::fromUtf8(f.readAll()));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(why);
    layout->addWidget(text, 1);
    window->resize(720, 640);
    window->show();
    return window;
}

} // namespace qdui
