#include "DataToolWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

namespace qdtool {

// ---------------------------------------------------------------------------
// The table list

void TableListModel::setRows(std::vector<qd::TableSurvey> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int TableListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TableListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QString sizeText(std::uintmax_t bytes) {
    const double b = static_cast<double>(bytes);
    if (bytes < 1024) return QString::number(bytes) + " bytes";
    if (bytes < 1024 * 1024) return QString::number(b / 1024.0, 'f', 1) + " KB";
    return QString::number(b / (1024.0 * 1024.0), 'f', 1) + " MB";
}

QVariant TableListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const qd::TableSurvey& s = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole && index.column() >= 2)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && !s.error.empty()) return QString::fromStdString(s.error);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case 0:
        return QString::fromStdString(s.def->label);
    case 1:
        return QString::fromStdString(s.file.filename().string()) + "  (" +
               QString::fromStdString(s.sqlTable) + ")";
    case 2:
        if (!s.error.empty()) return QStringLiteral("unreadable");
        if (!s.fileExists || !s.tableExists) return QStringLiteral("not created yet");
        return QString::number(s.records);
    case 3:
        return s.fileExists ? sizeText(s.fileBytes) : QString();
    }
    return {};
}

QVariant TableListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[] = {"Table", "File", "Records", "File Size"};
    return section >= 0 && section < 4 ? QString(names[section]) : QVariant();
}

// ---------------------------------------------------------------------------
// The window

DataToolWindow::DataToolWindow(qd::DataSet& ds, QString backupProgram, QWidget* parent)
    : QMainWindow(parent), ds_(ds), backupProgram_(std::move(backupProgram)), model_(this) {
    setWindowTitle("Quandrel Data Files - " + QString::fromStdString(ds.folder().string()));
    setAccessibleName("Data Files");
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    view_ = new QTableView(central);
    view_->setAccessibleName("Tables");
    view_->setModel(&model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(view_);

    summary_ = new QLabel(central);
    summary_->setAccessibleName("Summary");
    layout->addWidget(summary_);

    auto* row = new QHBoxLayout;
    auto addButton = [&](const char* text, const char* tip, auto slot) {
        auto* b = new QPushButton(tr(text), central);
        b->setToolTip(tr(tip));
        b->setAccessibleName(QString(text).remove('&'));
        connect(b, &QPushButton::clicked, this, slot);
        row->addWidget(b);
        buttons_.push_back(b);
        return b;
    };
    addButton("&Verify", "Check every file and each table's keys against its records",
              [this] { start(Work::Verify); });
    addButton("Re&build Keys", "Rebuild every key from the records (no scheduler may be running)",
              [this] { start(Work::Rebuild); });
    addButton("&Compact", "Rewrite the files without their free space (no scheduler may be running)",
              [this] { start(Work::Compact); });
    backupButton_ = addButton("&Backup/Restore...", "Open the backup program on this data folder",
                              [this] { startBackupProgram(); });
    addButton("&Refresh", "Count the records again", [this] { refresh(); });
    row->addStretch();
    auto* close = new QPushButton(tr("Cl&ose"), central);
    close->setAccessibleName("Close");
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    row->addWidget(close);
    layout->addLayout(row);
    setCentralWidget(central);
    resize(720, 520);

    reportWindow_ = new QMainWindow(this);
    reportWindow_->setAccessibleName("Report");
    reportText_ = new QPlainTextEdit(reportWindow_);
    reportText_->setReadOnly(true);
    reportText_->setAccessibleName("Report text");
    reportWindow_->setCentralWidget(reportText_);
    reportWindow_->resize(640, 420);

    setButtonsEnabled(true);
    refresh();
}

DataToolWindow::~DataToolWindow() {
    if (worker_) {
        if (stop_) *stop_ = true;
        worker_->wait();
    }
}

void DataToolWindow::refresh() {
    if (busy()) return;
    model_.setRows(qd::surveyTables(ds_));
    std::uintmax_t bytes = 0;
    long long records = 0;
    std::vector<std::filesystem::path> counted;
    for (const qd::TableSurvey& s : model_.rows()) {
        if (s.records > 0) records += s.records;
        if (s.fileExists && std::find(counted.begin(), counted.end(), s.file) == counted.end()) {
            counted.push_back(s.file);
            bytes += s.fileBytes;
        }
    }
    auto counting = [](long long n, const char* one, const char* many) {
        return QString::number(n) + " " + (n == 1 ? one : many);
    };
    summary_->setText(counting(static_cast<long long>(model_.rows().size()), "table", "tables") + ", " +
                      counting(records, "record", "records") + " in " +
                      counting(static_cast<long long>(counted.size()), "file", "files") + ", " +
                      sizeText(bytes));
    view_->resizeColumnsToContents();
}

void DataToolWindow::setButtonsEnabled(bool enabled) {
    for (QPushButton* b : buttons_)
        b->setEnabled(enabled);
    backupButton_->setEnabled(enabled && !backupProgram_.isEmpty());
    if (backupProgram_.isEmpty()) backupButton_->setToolTip(tr("The backup program was not found"));
}

bool DataToolWindow::start(Work work) {
    if (busy()) return false;
    static const char* const titles[] = {"Verify", "Rebuild Keys", "Compact"};
    const QString title = titles[static_cast<int>(work)];
    setButtonsEnabled(false);
    stop_ = std::make_shared<std::atomic<bool>>(false);
    progress_ = new QProgressDialog(title + "...", tr("&Stop"), 0, 100, this);
    progress_->setWindowTitle(title);
    progress_->setAccessibleName("Progress");
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    auto stop = stop_;
    connect(progress_, &QProgressDialog::canceled, this, [stop] { *stop = true; });
    progress_->show();

    QPointer<QProgressDialog> dialog = progress_;
    // Told from the worker thread: the dialog moves on the GUI thread.
    qd::ToolProgress told = [dialog, stop](int percent, const std::string& what) {
        const QString label = QString::fromStdString(what);
        QMetaObject::invokeMethod(
            dialog,
            [dialog, percent, label] {
                if (!dialog) return;
                dialog->setValue(percent);
                dialog->setLabelText(label);
            },
            Qt::QueuedConnection);
        return !*stop;
    };
    auto result = std::make_shared<qd::ToolReport>();
    qd::DataSet* ds = &ds_;
    worker_ = QThread::create([work, ds, told, result] {
        switch (work) {
        case Work::Verify:
            *result = qd::verifyDataSet(*ds, told);
            break;
        case Work::Rebuild:
            *result = qd::rebuildAllKeys(*ds, told);
            break;
        case Work::Compact:
            *result = qd::compactDataSet(*ds, told);
            break;
        }
    });
    connect(worker_, &QThread::finished, this, [this, title, result] {
        worker_->deleteLater();
        worker_ = nullptr;
        finish(title, std::move(*result));
    });
    worker_->start();
    return true;
}

void DataToolWindow::finish(const QString& title, qd::ToolReport report) {
    if (progress_) {
        progress_->close();
        progress_->deleteLater();
    }
    QString head;
    if (report.refused)
        head = tr("Not done: ");
    else if (report.cancelled)
        head = tr("Stopped. ");
    else if (report.problems == 0)
        head = tr("Done: no problems found.\n\n");
    else
        head = tr("Done: %1 problems found.\n\n").arg(report.problems);
    lastReport_ = std::move(report);
    reportWindow_->setWindowTitle(title + " - " + tr("Report"));
    reportText_->setPlainText(head + QString::fromStdString(lastReport_.text()));
    reportWindow_->show();
    reportWindow_->raise();
    setButtonsEnabled(true);
    refresh();
    emit workFinished();
}

void DataToolWindow::startBackupProgram() {
    if (backupProgram_.isEmpty()) return;
    const QStringList args = {"--data", QString::fromStdString(ds_.folder().string()), "--window"};
    if (!QProcess::startDetached(backupProgram_, args)) {
        reportWindow_->setWindowTitle(tr("Backup/Restore"));
        reportText_->setPlainText(tr("The backup program could not be started: %1").arg(backupProgram_));
        reportWindow_->show();
    }
}

} // namespace qdtool
