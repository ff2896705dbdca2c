// The event log window: the model reads a growing, rotating log file without
// reloading it, finds text, prints, and says so when there is no log.
#include "UiTestSupport.h"

#include "data/EventLog.h"
#include "data/IniFile.h"
#include "support/TempDir.h"
#include "ui/LogViewer.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <fstream>

namespace {

std::string logLine(int i, const std::string& label = "Message") {
    return qd::formatLogLine(qd::Moment{qd::dateFromMDY(3, 10, 2026), qd::timeFromHMS(9, 0, i % 60)}, "d3",
                             label, "Reminder number " + std::to_string(i)) +
           "\n";
}

void append(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::app | std::ios::binary);
    out << text;
}

void appendLines(const std::filesystem::path& file, int from, int count) {
    std::string text;
    for (int i = from; i < from + count; ++i)
        text += logLine(i);
    append(file, text);
}

} // namespace

class LogViewerTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheColumnsOfEachLine();
    void growingFileAddsOnlyTheNewRows();
    void halfWrittenLastLineWaitsForItsEnd();
    void rotatedOrCutFileIsIndexedAgain();
    void missingLogSaysSoAndAppearsLater();
    void findIgnoresCaseAndWrapsBothWays();
    void windowFindsHighlightsAndKeepsItsPlace();
    void printsEveryLineToPdf();
};

void LogViewerTest::readsTheColumnsOfEachLine() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    append(file, logLine(1, "Started") + logLine(2, "Run Program"));
    qdui::LogFileModel model(file);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.data(model.index(0, qdui::LogFileModel::LabelColumn)).toString(), QString("Started"));
    QCOMPARE(model.data(model.index(1, qdui::LogFileModel::LabelColumn)).toString(), QString("Run Program"));
    QCOMPARE(model.data(model.index(1, qdui::LogFileModel::DetailColumn)).toString(),
             QString("Reminder number 2"));
    QVERIFY(!model.data(model.index(0, qdui::LogFileModel::DateColumn)).toString().isEmpty());
    QCOMPARE(model.line(0).size(), qsizetype(qd::EventLog::kLineWidth));
    QVERIFY(model.note().isEmpty());
    // Rows outside the file give nothing rather than a stray read.
    QVERIFY(model.line(2).isEmpty());
    QVERIFY(!model.data(model.index(5, 0)).isValid());
}

void LogViewerTest::growingFileAddsOnlyTheNewRows() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    appendLines(file, 0, 5000);
    qdui::LogFileModel model(file);
    QCOMPARE(model.rowCount(), 5000);
    // The view is looking at the end, so its block is cached; the file grows.
    QCOMPARE(model.line(4999), QString::fromStdString(logLine(4999)).chopped(1));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    appendLines(file, 5000, 3);
    model.refresh();
    QCOMPARE(model.rowCount(), 5003);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted[0][1].toInt(), 5000);
    QCOMPARE(inserted[0][2].toInt(), 5002);
    QCOMPARE(reset.size(), 0);
    QCOMPARE(model.fullIndexCount(), 1);
    QCOMPARE(model.line(5002), QString::fromStdString(logLine(5002)).chopped(1));
    QCOMPARE(model.line(0), QString::fromStdString(logLine(0)).chopped(1));
    // Nothing new: nothing happens.
    model.refresh();
    QCOMPARE(inserted.size(), 1);
}

void LogViewerTest::halfWrittenLastLineWaitsForItsEnd() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    const std::string whole = logLine(7);
    append(file, logLine(6) + whole.substr(0, 50));
    qdui::LogFileModel model(file);
    QCOMPARE(model.rowCount(), 1);
    append(file, whole.substr(50));
    model.refresh();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.line(1), QString::fromStdString(whole).chopped(1));
}

void LogViewerTest::rotatedOrCutFileIsIndexedAgain() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    appendLines(file, 0, 100);
    qdui::LogFileModel model(file);
    QCOMPARE(model.rowCount(), 100);

    // The log reached its limit: moved to ".1", a new file started, which may
    // already be as long as the part seen before.
    std::filesystem::rename(file, dir / "QD98Evnt.LOG.1");
    std::string fresh;
    for (int i = 0; i < 120; ++i)
        fresh += logLine(i, "Fresh");
    append(file, fresh);
    model.refresh();
    QCOMPARE(model.fullIndexCount(), 2);
    QCOMPARE(model.rowCount(), 120);
    QCOMPARE(model.data(model.index(0, qdui::LogFileModel::LabelColumn)).toString(), QString("Fresh"));

    // The user cut the file down in place (same file, shorter).
    std::filesystem::resize_file(file, 3 * (qd::EventLog::kLineWidth + 1));
    model.refresh();
    QCOMPARE(model.fullIndexCount(), 3);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.line(2), QString::fromStdString(logLine(2, "Fresh")).chopped(1));
}

void LogViewerTest::missingLogSaysSoAndAppearsLater() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    qdui::LogFileModel model(file);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.fileExists());
    QVERIFY2(model.note().contains("does not exist") &&
                 model.note().contains(QString::fromStdString(file.string())),
             qPrintable(model.note()));
    appendLines(file, 0, 2);
    model.refresh();
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(model.note().isEmpty());
    // Deleted by the user while shown: empty again, with the note.
    std::filesystem::remove(file);
    model.refresh();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.note().isEmpty());
}

void LogViewerTest::findIgnoresCaseAndWrapsBothWays() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += logLine(i, i == 2 || i == 7 ? "Program Exit" : "Message");
    text +=
        qd::formatLogLine(qd::Moment{qd::dateFromMDY(3, 10, 2026), 0}, "d3", "Message", "Grüße an Ärzte") +
        "\n";
    append(file, text);
    qdui::LogFileModel model(file);
    QCOMPARE(model.find("program exit", 0, true), 2);
    QCOMPARE(model.find("PROGRAM EXIT", 2, true), 7);
    QCOMPARE(model.find("program exit", 7, true), 2);  // wraps past the end
    QCOMPARE(model.find("program exit", 2, false), 7); // wraps past the start
    QCOMPARE(model.find("program exit", 7, false), 2);
    QCOMPARE(model.find("ärzte", 0, true), 10); // case of non-ASCII letters too
    QCOMPARE(model.find("nowhere", 0, true), -1);
    QCOMPARE(model.find("", 0, true), -1);
}

void LogViewerTest::windowFindsHighlightsAndKeepsItsPlace() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += logLine(i, i == 40 ? "Error starting" : "Message");
    append(file, text);
    QMdiArea area;
    area.resize(900, 600);
    area.show();
    qdui::LogViewer* viewer = qdui::showLogViewer(&area, file, dir.path());
    QVERIFY(viewer);
    QCOMPARE(qdui::showLogViewer(&area, file, dir.path()), viewer); // one window, brought forward
    QCOMPARE(area.subWindowList().size(), qsizetype(1));
    QCOMPARE(viewer->model().rowCount(), 300);

    viewer->searchField()->setText("error STARTING");
    QVERIFY(viewer->findNext(true));
    QCOMPARE(viewer->currentRow(), 40);
    const auto background = [&](int row) {
        return viewer->model().data(viewer->model().index(row, 0), Qt::BackgroundRole);
    };
    QVERIFY(background(40).isValid());
    QVERIFY(!background(41).isValid());
    viewer->searchField()->setText("not in this log");
    QVERIFY(!viewer->findNext(true));
    QCOMPARE(viewer->currentRow(), 40); // the selection stays
    QVERIFY(viewer->findChild<QLabel*>("LogNote")->text().contains("is not in the log"));

    // Lines written while the window is open appear on its next refresh.
    appendLines(file, 300, 5);
    viewer->refresh();
    QCOMPARE(viewer->view()->model()->rowCount(), 305);

    // Its place is kept in POSITION.INI when it closes.
    QMdiSubWindow* sub = area.subWindowList().first();
    sub->move(30, 20);
    sub->close();
    const auto saved = qd::INIClass(dir.path()).fetch("ViewAscii:Log", true);
    QVERIFY(saved);
    QCOMPARE(saved->x, 30);
    QCOMPARE(saved->y, 20);
    QTRY_COMPARE(area.subWindowList().size(), qsizetype(0));
    qdui::showLogViewer(&area, file, dir.path());
    QCOMPARE(area.subWindowList().first()->pos(), QPoint(30, 20));
}

void LogViewerTest::printsEveryLineToPdf() {
    qdtest::TempDir dir;
    const auto file = dir / qd::EventLog::kFileName;
    appendLines(file, 0, 400);
    qdui::LogFileModel model(file);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const auto pdf = dir / "log.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    QVERIFY(qdui::printLog(model, printer));
    const std::string out = qdtest::readFile(pdf);
    QVERIFY(out.rfind("%PDF", 0) == 0);
    // 400 lines do not fit on one page: several pages came out.
    std::size_t pages = 0;
    for (std::size_t at = out.find("/Type /Page\n"); at != std::string::npos;
         at = out.find("/Type /Page\n", at + 1))
        ++pages;
    QVERIFY2(pages >= 3, qPrintable(QString("pages: %1").arg(pages)));
}

QTEST_MAIN(LogViewerTest)
#include "LogViewerTest.moc"
