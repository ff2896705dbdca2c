// The progress of a batch run as a Qt progress dialog: "Processing Records"
// with the run's title, "N% Completed" and a Cancel button. It lets the event
// loop run on every update, so the program (and its one-second timer) stays
// alive while the run works.
#pragma once

#include "schedule/BatchOperations.h"

#include <QPointer>
#include <QProgressDialog>
#include <QString>

namespace qdusersui {

class ProgressWindow : public qd::Progress {
public:
    explicit ProgressWindow(QWidget* parent);
    ~ProgressWindow() override;

    void start(const std::string& title) override;
    bool update(int percent, const std::string& line) override;
    void finish() override;

    bool cancelled() const { return cancelled_; }
    // The dialog while a run is going on (tests press its button).
    QProgressDialog* dialog() const { return dialog_.data(); }

private:
    QPointer<QWidget> parent_;
    QPointer<QProgressDialog> dialog_;
    QString title_;
    bool cancelled_ = false;
};

} // namespace qdusersui
