// The About window, the problem report and where it is saved, the manual
// behind the Help entries, and the splash window of the frame.
#include "UiTestSupport.h"

#include "data/EventLog.h"
#include "data/Globals.h"
#include "support/TempDir.h"
#include "ui/About.h"
#include "ui/BugReport.h"
#include "ui/Splash.h"

#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

#include <fstream>
#include <sys/stat.h>

namespace {

unsigned modeOf(const std::filesystem::path& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

void writeLog(const std::filesystem::path& folder, int lines) {
    std::ofstream out(folder / qd::EventLog::kFileName, std::ios::binary);
    for (int i = 0; i < lines; ++i)
        out << qd::formatLogLine({qd::dateFromMDY(3, 10, 2026), qd::timeFromHMS(9, 0, 0)}, "d3", "Message",
                                 "event no. " + std::to_string(i) + " end")
            << '\n';
}

} // namespace

class AboutAndReportTest : public QObject {
    Q_OBJECT
private slots:
    void aboutNamesVersionBuildFolderAndLinkedLibraries();
    void reportHoldsSettingsAndTheLastLogLinesButNoSecret();
    void reportIsSavedPrivatelyWhereTheUserChose();
    void reportThatCannotBeSavedSaysWhy();
    void reportGoesToTheMailComposerAsEdited();
    void helpOpensTheManualOrShowsItItself();
    void splashGoesAtTheFirstMenuSelectionOrByItself();
};

void AboutAndReportTest::aboutNamesVersionBuildFolderAndLinkedLibraries() {
    qdtest::TempDir dir;
    qdui::AboutWindow about(dir.path());
    const QString text = about.text();
    QVERIFY2(text.contains("Quandrel 2000, version 2.04"), qPrintable(text));
    QVERIFY(text.contains("Data folder: " + QString::fromStdString(dir.str())));
    QVERIFY(text.contains("Build: "));
    QVERIFY(text.contains(QString("Qt ") + qVersion()));
    // The versions come from the libraries the program runs with: SQLCipher's
    // encryption is really there.
    bool cipher = false;
    for (const auto& [name, version] : qdui::libraryVersions())
        if (name == "SQLCipher") cipher = !version.isEmpty() && version != "not present";
    QVERIFY(cipher);
    QVERIFY(qdui::licenceText().contains("libsodium"));
}

void AboutAndReportTest::reportHoldsSettingsAndTheLastLogLinesButNoSecret() {
    qdtest::TempDir dir;
    writeLog(dir.path(), 250);
    qd::ProgramSettings settings;
    settings.SysPwd = "hunter2-secret";
    settings.LogEvents = true;
    settings.RepeatAlarmInterval = 30;
    settings.Host = "smtp.example.org";
    const QString report = qdui::composeBugReport(dir.path(), settings);
    QVERIFY(report.contains("Quandrel 2000, version 2.04"));
    QVERIFY(report.contains("\nLogEvents=1\n"));
    QVERIFY(report.contains("\nRepeatAlarmInterval=30\n"));
    QVERIFY(report.contains("\nHost=smtp.example.org\n"));
    QVERIFY(report.contains("\nSysPwd=(hidden)\n"));
    QVERIFY(!report.contains("hunter2"));
    // Values as the program uses them (some flags are stored inverted), and
    // settings that only look like secrets are shown.
    QVERIFY(report.contains("\nStartUpActive=1\n"));
    QVERIFY(report.contains("\nSkipIfDaysPassed=0\n"));
    // The last 200 lines: 50 to 249, in order, without their padding.
    QVERIFY(!report.contains("event no. 49 end"));
    QVERIFY(report.contains("event no. 50 end\n"));
    QVERIFY(report.indexOf("event no. 50 end") < report.indexOf("event no. 249 end"));
    QCOMPARE(report.count(" end\n"), 200);

    qdtest::TempDir empty;
    QVERIFY(qdui::composeBugReport(empty.path(), settings).contains("(the log is empty or missing)"));
}

void AboutAndReportTest::reportIsSavedPrivatelyWhereTheUserChose() {
    qdtest::TempDir dir;
    writeLog(dir.path(), 3);
    qd::ProgramSettings settings;
    auto* window = new qdui::BugReportWindow(dir.path(), settings);
    const auto target = dir / "report.txt";
    QString suggested;
    window->setSaveChooser([&](QWidget*, const QString& s) {
        suggested = s;
        return QString::fromStdString(target.string());
    });
    window->editor()->setPlainText("The alarm did not stop.\n" + window->editor()->toPlainText());
    QCOMPARE(window->save(), QString::fromStdString(target.string()));
    QVERIFY(suggested.endsWith(".txt"));
    QCOMPARE(QString::fromStdString(qdtest::readFile(target)), window->editor()->toPlainText());
    QCOMPARE(modeOf(target), 0600u);
    QVERIFY(window->note().contains(QString::fromStdString(target.string())));

    // A file that was there, open to everyone, is replaced by a private one.
    const auto old = dir / "old.txt";
    qdtest::writeFile(old, "old contents that are much longer than nothing at all");
    ::chmod(old.c_str(), 0644);
    window->setSaveChooser([&](QWidget*, const QString&) { return QString::fromStdString(old.string()); });
    window->editor()->setPlainText("short");
    QVERIFY(!window->save().isEmpty());
    QCOMPARE(qdtest::readFile(old), std::string("short"));
    QCOMPARE(modeOf(old), 0600u);

    // A link there is replaced; the file it pointed to stays as it was.
    const auto elsewhere = dir / "elsewhere.txt";
    qdtest::writeFile(elsewhere, "keep me");
    const auto link = dir / "link.txt";
    std::filesystem::create_symlink(elsewhere, link);
    window->setSaveChooser([&](QWidget*, const QString&) { return QString::fromStdString(link.string()); });
    QVERIFY(!window->save().isEmpty());
    QCOMPARE(qdtest::readFile(elsewhere), std::string("keep me"));
    QVERIFY(!std::filesystem::is_symlink(link));
    QCOMPARE(qdtest::readFile(link), std::string("short"));

    // Cancelled: nothing is written, nothing claimed.
    window->setSaveChooser([](QWidget*, const QString&) { return QString(); });
    QVERIFY(window->save().isEmpty());
    delete window;
}

void AboutAndReportTest::reportThatCannotBeSavedSaysWhy() {
    qdtest::TempDir dir;
    qd::ProgramSettings settings;
    qdui::BugReportWindow window(dir.path(), settings);
    const auto target = dir / "no-such-folder" / "report.txt";
    window.setSaveChooser([&](QWidget*, const QString&) { return QString::fromStdString(target.string()); });
    QVERIFY(window.save().isEmpty());
    QVERIFY2(window.note().contains("Cannot write"), qPrintable(window.note()));
    QVERIFY(!std::filesystem::exists(target));
    // No temporary file is left behind in the data folder either.
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        QVERIFY2(e.path().filename().string().rfind(".quandrel-report", 0) != 0, e.path().c_str());
}

void AboutAndReportTest::reportGoesToTheMailComposerAsEdited() {
    qdtest::TempDir dir;
    writeLog(dir.path(), 3);
    qd::ProgramSettings settings;
    qdui::BugReportWindow window(dir.path(), settings);
    auto* email = window.findChild<QPushButton*>("Email");
    QVERIFY(email);
    // Without a composer the button is off and the window says how to send it.
    QVERIFY(!email->isEnabled());
    QVERIFY(!window.email());
    QVERIFY(window.note().contains("save the report"));

    QString subject, text;
    int calls = 0;
    window.setMailComposer([&](const QString& s, const QString& t) {
        subject = s;
        text = t;
        ++calls;
    });
    QVERIFY(email->isEnabled());
    window.editor()->setPlainText("The alarm did not stop.\n" + window.editor()->toPlainText());
    QTest::mouseClick(email, Qt::LeftButton);
    QCOMPARE(calls, 1);
    QCOMPARE(subject, QString("Quandrel problem report"));
    // What the user edited is what goes out, not the report as first composed.
    QCOMPARE(text, window.editor()->toPlainText());
    QVERIFY(text.startsWith("The alarm did not stop."));
    QVERIFY(window.note().contains("e-mail message"));
}

void AboutAndReportTest::helpOpensTheManualOrShowsItItself() {
    // The build finds the manual of its source tree.
    const auto manual = qdui::manualPath();
    QVERIFY(!manual.empty());
    QCOMPARE(manual.filename().string(), std::string("manual.md"));

    QString note;
    QUrl asked;
    QWidget* window = qdui::openManual(nullptr, note, [&](const QUrl& u) {
        asked = u;
        return true;
    });
    QVERIFY(!window);
    QVERIFY(note.isEmpty());
    QCOMPARE(asked.toLocalFile(), QString::fromStdString(manual.string()));

    // No viewer on the desktop: the program shows the manual itself and says why.
    window = qdui::openManual(nullptr, note, [](const QUrl&) { return false; });
    QVERIFY(window);
    QVERIFY(note.contains("No program to show"));
    auto* text = window->findChild<QTextBrowser*>("ManualText");
    QVERIFY(text);
    QVERIFY(text->toPlainText().contains("Reporting a problem"));
    delete window;

    // A desktop whose file-type table knows no viewer for text: the opener is
    // not even tried (it would fail where nobody sees it); the window shows it.
    {
        qdtest::TempDir bare;
        const QByteArray saved[] = {qgetenv("XDG_DATA_HOME"), qgetenv("XDG_DATA_DIRS"),
                                    qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_CONFIG_DIRS")};
        for (const char* v : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            qputenv(v, QByteArray::fromStdString(bare.str()));
        window = qdui::openManual(nullptr, note);
        qputenv("XDG_DATA_HOME", saved[0]);
        qputenv("XDG_DATA_DIRS", saved[1]);
        qputenv("XDG_CONFIG_HOME", saved[2]);
        qputenv("XDG_CONFIG_DIRS", saved[3]);
        QVERIFY(window);
        QVERIFY(note.contains("No program to show"));
        delete window;
    }

    // No manual at all: a clear note, no window.
    window = qdui::openManual(
        nullptr, note, [](const QUrl&) { return true; }, "/nonexistent/manual.md");
    QVERIFY(!window);
    QVERIFY(note.contains("not installed"));
}

void AboutAndReportTest::splashGoesAtTheFirstMenuSelectionOrByItself() {
    qduitest::Engine e;
    e.frame->show();
    QPointer<QWidget> splash = qdui::showSplash(*e.frame, 60000);
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    QMenu* file = e.frame->menuBar()->findChild<QMenu*>("&File");
    QVERIFY(file);
    emit file->aboutToShow();
    QTRY_VERIFY(splash.isNull());

    splash = qdui::showSplash(*e.frame, 50);
    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 2000);
}

QTEST_MAIN(AboutAndReportTest)
#include "AboutAndReportTest.moc"
