// The event log viewer ("View &Log"): a window on the log file of the data
// folder with search and print.
//
// The file can hold hundreds of thousands of lines and grows while it is shown,
// so the model never loads it whole: it keeps the byte offset where each line
// starts, reads the lines the view asks for (through a small block cache), and
// on refresh scans only the bytes added since the last scan. A file that was
// moved away (the log starts anew at its size limit), replaced or cut shorter is
// indexed again from its start.
#pragma once

#include <QAbstractTableModel>
#include <QFile>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class QLabel;
class QMdiArea;
class QLineEdit;
class QPrinter;
class QTableView;
class QTimer;

namespace qdui {

class LogFileModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { DateColumn, TimeColumn, LabelColumn, DetailColumn, ColumnCount };

    explicit LogFileModel(std::filesystem::path file, QObject* parent = nullptr);
    ~LogFileModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Looks at the file again: appends the lines added since the last look, or
    // indexes it anew when it was replaced or cut. Cheap when nothing changed.
    void refresh();

    // The whole line of a row (without its line end); empty outside the rows.
    QString line(int row) const;
    // The next row after `from` (or before it, going backwards) whose line holds
    // `text`, ignoring case, wrapping around once; -1 when no line holds it.
    int find(const QString& text, int from, bool forward) const;
    // Rows holding this text are drawn highlighted (empty: none).
    void setHighlight(const QString& text);

    const std::filesystem::path& file() const { return path_; }
    bool fileExists() const { return exists_; }
    // What to tell the user about the file: why it shows nothing, or empty.
    QString note() const { return note_; }
    // How many times the file was indexed from its start (a test aid).
    int fullIndexCount() const { return fullIndexes_; }

private:
    void reindex();
    // Appends the starts of the complete lines from `offset` on; `end` becomes
    // the end of the last complete line.
    bool scanLines(std::int64_t offset, std::vector<std::int64_t>& starts, std::int64_t& end);
    std::string readLine(int row) const;
    void dropCache() const;

    std::filesystem::path path_;
    QFile fileHandle_;
    bool exists_ = false;
    QString note_;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    // starts_[i] is where line i starts; scanned_ is where the scan stopped (the
    // end of the last complete line); a last line without its line end yet is
    // not shown until it is complete.
    std::vector<std::int64_t> starts_;
    std::int64_t scanned_ = 0;
    int fullIndexes_ = 0;
    QString highlight_;

    // The block of the file read last, for the lines the view asks for.
    mutable std::string cache_;
    mutable std::int64_t cacheStart_ = -1;
};

// Prints every line of the log, a page at a time, in a fixed-width font. Returns
// false when the printer could not be started.
bool printLog(const LogFileModel& model, QPrinter& printer);

class LogViewer : public QWidget {
    Q_OBJECT
public:
    // `dataFolder` keeps the window's place in POSITION.INI; empty: not kept.
    LogViewer(std::filesystem::path file, std::filesystem::path dataFolder, QWidget* parent = nullptr);
    ~LogViewer() override;

    LogFileModel& model() { return *model_; }
    QTableView* view() const { return view_; }
    QLineEdit* searchField() const { return search_; }
    int currentRow() const;

    // Selects the next (or previous) line holding the search text; false (with a
    // note) when none does.
    bool findNext(bool forward = true);
    // The print dialog, then the printout.
    void printWithDialog();
    // Re-reads the file now (also done every second while the window is open).
    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showNote();

    LogFileModel* model_;
    std::filesystem::path folder_;
    QLabel* note_;
    QLineEdit* search_;
    QTableView* view_;
    QTimer* timer_;
    bool followEnd_ = true;
};

// Shows the viewer on `file` in the frame's child-window area (brings the open
// one to the front), where POSITION.INI of `dataFolder` last had it.
LogViewer* showLogViewer(QMdiArea* area, const std::filesystem::path& file,
                         const std::filesystem::path& dataFolder);

} // namespace qdui
