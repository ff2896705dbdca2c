// The progress window of a long run ("Processing Records"): names the work,
// shows "N% Completed" and offers Cancel. The window is modal; events are
// processed on each update, so the program stays alive while the run goes on.
#pragma once

#include "data/Progress.h"

#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

namespace qdui {

class QtProgress final : public qd::Progress {
public:
    explicit QtProgress(QWidget* parent);
    ~QtProgress() override;
    QtProgress(const QtProgress&) = delete;
    QtProgress& operator=(const QtProgress&) = delete;

    void start(const std::string& title) override;
    bool update(int percent, const std::string& line) override;
    void finish() override;

    QProgressDialog* dialog() const { return dialog_; }
    bool cancelled() const { return cancelled_; }
    // Called after each update (tests cancel from here).
    std::function<void(QtProgress&)> onUpdate;

private:
    QWidget* parent_;
    QProgressDialog* dialog_ = nullptr;
    QString title_;
    bool cancelled_ = false;
};

} // namespace qdui
