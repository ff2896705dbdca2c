// The data tool's window: every table of a data folder with its file, record count
// and size, and the checks and repairs of the data tool. The work runs off the GUI
// thread behind a progress dialog that can stop it; its report opens in a window of
// its own. "Backup/Restore..." starts the backup program's window on the same folder.
#pragma once

#include "data/DataSet.h"
#include "data/DataTool.h"
#include "data/UserInterface.h"

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QThread;

namespace qdtool {

// The tables as rows: "Table", "File", "Records", "Size".
class TableListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(std::vector<qd::TableSurvey> rows);
    const std::vector<qd::TableSurvey>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<qd::TableSurvey> rows_;
};

// "12.3 KB" and the like.
QString sizeText(std::uintmax_t bytes);

class DataToolWindow : public QMainWindow {
    Q_OBJECT
public:
    // `ds` is the data set of the folder and outlives the window. `backupProgram`
    // is the backup program to start; empty leaves its button disabled.
    DataToolWindow(qd::DataSet& ds, QString backupProgram, QWidget* parent = nullptr);
    ~DataToolWindow() override;

    enum class Work { Verify, Rebuild, Compact };
    // Runs one piece of work off the GUI thread; the buttons are disabled until it
    // ends. False when work is already running.
    bool start(Work work);
    bool busy() const { return worker_ != nullptr; }
    // The last report shown (also in the report window).
    const qd::ToolReport& lastReport() const { return lastReport_; }
    QPlainTextEdit* reportView() const { return reportText_; }
    QProgressDialog* progressDialog() const { return progress_.data(); }
    TableListModel& model() { return model_; }

public slots:
    void refresh();

signals:
    // The work ended and its report is shown.
    void workFinished();

private:
    void finish(const QString& title, qd::ToolReport report);
    void setButtonsEnabled(bool enabled);
    void startBackupProgram();

    qd::DataSet& ds_;
    QString backupProgram_;
    TableListModel model_;
    QTableView* view_ = nullptr;
    QLabel* summary_ = nullptr;
    std::vector<QPushButton*> buttons_;
    QPushButton* backupButton_ = nullptr;
    QPointer<QProgressDialog> progress_;
    QThread* worker_ = nullptr;
    std::shared_ptr<std::atomic<bool>> stop_;
    qd::ToolReport lastReport_;
    QMainWindow* reportWindow_ = nullptr;
    QPlainTextEdit* reportText_ = nullptr;
};

} // namespace qdtool
