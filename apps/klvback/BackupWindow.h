// The backup program's window: the backups of a data folder, newest first, with
// "Back Up Now" and a restore that asks first. The copying runs off the GUI
// thread; the window shows what it is doing and what came of it.
#pragma once

#include "data/Backup.h"

#include <QDialog>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QThread;

namespace qdtool {

class BackupWindow : public QDialog {
    Q_OBJECT
public:
    // `key` opens a protected data set (empty: the owner password); `stamp` names
    // a new backup (the date and time).
    BackupWindow(std::filesystem::path folder, std::string key, std::function<std::string()> stamp,
                 QWidget* parent = nullptr);
    ~BackupWindow() override;

    // Asked before a restore; answers whether to go on. Tests answer it.
    using Confirm = std::function<bool(const QString& title, const QString& text)>;
    void setConfirm(Confirm confirm) { confirm_ = std::move(confirm); }

    void backUpNow();
    // Restores the selected backup after asking.
    void restoreSelected();
    bool busy() const { return worker_ != nullptr; }
    QListWidget* list() const { return list_; }
    QString status() const;
    const qd::BackupResult& lastResult() const { return last_; }

public slots:
    void refresh();

signals:
    void workFinished();

private:
    void run(const QString& doing, std::function<qd::BackupResult()> work,
             std::function<QString(const qd::BackupResult&)> done);
    void setButtonsEnabled(bool enabled);

    std::filesystem::path folder_;
    std::string key_;
    std::function<std::string()> stamp_;
    Confirm confirm_;
    QListWidget* list_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* backup_ = nullptr;
    QPushButton* restore_ = nullptr;
    QThread* worker_ = nullptr;
    qd::BackupResult last_;
};

} // namespace qdtool
