#include "users/ui/ProgressWindow.h"

#include <QCoreApplication>

namespace qdusersui {

ProgressWindow::ProgressWindow(QWidget* parent) : parent_(parent) {}

ProgressWindow::~ProgressWindow() {
    finish();
}

void ProgressWindow::start(const std::string& title) {
    finish();
    cancelled_ = false;
    title_ = QString::fromStdString(title);
    dialog_ = new QProgressDialog(title_, "Cancel", 0, 100, parent_);
    dialog_->setObjectName("ProcessingRecords");
    dialog_->setWindowTitle(qd::kProgressWindowTitle);
    dialog_->setAccessibleName(qd::kProgressWindowTitle);
    // The whole program waits for the run: no other window may start work on
    // the same records meanwhile.
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(300);
    QObject::connect(dialog_, &QProgressDialog::canceled, [this] { cancelled_ = true; });
    dialog_->setValue(0);
}

bool ProgressWindow::update(int percent, const std::string& line) {
    if (dialog_) {
        dialog_->setLabelText(title_ + "\n" + QString::fromStdString(line));
        dialog_->setValue(percent);
    }
    QCoreApplication::processEvents();
    return !cancelled_;
}

void ProgressWindow::finish() {
    if (dialog_) {
        QObject::disconnect(dialog_, &QProgressDialog::canceled, nullptr, nullptr);
        dialog_->hide();
        dialog_->deleteLater();
    }
    dialog_.clear();
}

} // namespace qdusersui
