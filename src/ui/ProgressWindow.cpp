#include "ui/ProgressWindow.h"

#include <QApplication>
#include <QProgressDialog>

namespace qdui {

QtProgress::QtProgress(QWidget* parent) : parent_(parent) {}

QtProgress::~QtProgress() {
    finish();
}

void QtProgress::start(const std::string& title) {
    finish();
    cancelled_ = false;
    title_ = QString::fromStdString(title);
    dialog_ = new QProgressDialog(title_, "Cancel", 0, 100, parent_);
    dialog_->setObjectName("ProcessingRecords");
    dialog_->setWindowTitle(qd::kProgressWindowTitle);
    dialog_->setAccessibleName(qd::kProgressWindowTitle);
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    QObject::connect(dialog_, &QProgressDialog::canceled, dialog_, [this] { cancelled_ = true; });
    dialog_->show();
}

bool QtProgress::update(int percent, const std::string& line) {
    if (!dialog_) return !cancelled_;
    dialog_->setLabelText(title_ + "\n" + QString::fromStdString(line));
    dialog_->setValue(percent);
    QApplication::processEvents();
    if (onUpdate) onUpdate(*this);
    QApplication::processEvents();
    if (dialog_ && dialog_->wasCanceled()) cancelled_ = true;
    return !cancelled_;
}

void QtProgress::finish() {
    if (!dialog_) return;
    QProgressDialog* d = dialog_;
    dialog_ = nullptr;
    d->hide();
    d->deleteLater();
}

} // namespace qdui
