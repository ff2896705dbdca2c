#include "BackupWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace qdtool {

BackupWindow::BackupWindow(std::filesystem::path folder, std::string key, std::function<std::string()> stamp,
                           QWidget* parent)
    : QDialog(parent), folder_(std::move(folder)), key_(std::move(key)), stamp_(std::move(stamp)) {
    setWindowTitle("Backup/Restore - " + QString::fromStdString(folder_.string()));
    setAccessibleName("Backup/Restore");
    confirm_ = [this](const QString& title, const QString& text) {
        return QMessageBox::question(this, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(tr("&Backups of this data folder, newest first:"), this);
    list_ = new QListWidget(this);
    list_->setAccessibleName("Backups");
    heading->setBuddy(list_);
    layout->addWidget(heading);
    layout->addWidget(list_);
    status_ = new QLabel(this);
    status_->setAccessibleName("Status");
    status_->setWordWrap(true);
    layout->addWidget(status_);

    auto* row = new QHBoxLayout;
    backup_ = new QPushButton(tr("Back Up &Now"), this);
    backup_->setAccessibleName("Back Up Now");
    backup_->setToolTip(tr("Copy every file of the data set into a new backup"));
    connect(backup_, &QPushButton::clicked, this, &BackupWindow::backUpNow);
    restore_ = new QPushButton(tr("&Restore..."), this);
    restore_->setAccessibleName("Restore");
    restore_->setToolTip(tr("Put the selected backup back in place of the data set"));
    connect(restore_, &QPushButton::clicked, this, &BackupWindow::restoreSelected);
    auto* close = new QPushButton(tr("Cl&ose"), this);
    close->setAccessibleName("Close");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(backup_);
    row->addWidget(restore_);
    row->addStretch();
    row->addWidget(close);
    layout->addLayout(row);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { setButtonsEnabled(!busy()); });
    resize(560, 380);
    refresh();
}

BackupWindow::~BackupWindow() {
    if (worker_) worker_->wait();
}

QString BackupWindow::status() const {
    return status_->text();
}

void BackupWindow::refresh() {
    list_->clear();
    for (const qd::BackupInfo& b : qd::listBackups(folder_)) {
        auto* item = new QListWidgetItem(QString("%1    %2 files, %3 bytes")
                                             .arg(QString::fromStdString(b.name))
                                             .arg(b.files.size())
                                             .arg(static_cast<qulonglong>(b.bytes)),
                                         list_);
        item->setData(Qt::UserRole, QString::fromStdString(b.name));
    }
    if (list_->count() > 0) list_->setCurrentRow(0);
    setButtonsEnabled(!busy());
}

void BackupWindow::setButtonsEnabled(bool enabled) {
    backup_->setEnabled(enabled);
    restore_->setEnabled(enabled && list_->currentItem() != nullptr);
}

void BackupWindow::backUpNow() {
    if (busy()) return;
    const std::filesystem::path folder = folder_;
    const std::string key = key_;
    // A backup taken within the same second as another gets a suffix.
    std::string stamp = stamp_();
    for (int n = 2; std::filesystem::exists(folder / "Backups" / stamp); ++n)
        stamp = stamp_() + "-" + std::to_string(n);
    run(
        tr("Backing up..."), [folder, key, stamp] { return qd::backupDataSet(folder, stamp, {}, key); },
        [](const qd::BackupResult& r) {
            return tr("Backed up %1 files to %2")
                .arg(r.files.size())
                .arg(QString::fromStdString(r.folder.string()));
        });
}

void BackupWindow::restoreSelected() {
    if (busy() || !list_->currentItem()) return;
    const QString name = list_->currentItem()->data(Qt::UserRole).toString();
    const QString question =
        tr("Restore backup %1 over the data in %2?\n\nThe current data will be replaced; "
           "it is kept as a backup of its own.")
            .arg(name, QString::fromStdString(folder_.string()));
    if (!confirm_(tr("Restore"), question)) {
        status_->setText(tr("Nothing was restored."));
        return;
    }
    const std::filesystem::path folder = folder_;
    const std::string key = key_;
    const std::string safety = stamp_() + "-before-restore";
    const std::string chosen = name.toStdString();
    run(
        tr("Restoring..."),
        [folder, key, chosen, safety] { return qd::restoreBackup(folder, chosen, safety, key); },
        [](const qd::BackupResult& r) {
            QString text = tr("Restored %1 files from %2")
                               .arg(r.files.size())
                               .arg(QString::fromStdString(r.folder.string()));
            if (!r.safetyFolder.empty())
                text += "\n" + tr("The replaced files were kept in %1")
                                   .arg(QString::fromStdString(r.safetyFolder.string()));
            return text;
        });
}

void BackupWindow::run(const QString& doing, std::function<qd::BackupResult()> work,
                       std::function<QString(const qd::BackupResult&)> done) {
    setButtonsEnabled(false);
    status_->setText(doing);
    auto result = std::make_shared<qd::BackupResult>();
    worker_ = QThread::create([work, result] { *result = work(); });
    connect(worker_, &QThread::finished, this, [this, result, done] {
        worker_->deleteLater();
        worker_ = nullptr;
        last_ = *result;
        status_->setText(last_.ok ? done(last_)
                                  : tr("Not done: %1").arg(QString::fromStdString(last_.error)));
        refresh();
        emit workFinished();
    });
    worker_->start();
}

} // namespace qdtool
