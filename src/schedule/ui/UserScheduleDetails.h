// "UpdateQDUSD": one user's copy of a shared task's schedule state ("Edit User
// Schedule Details"). Changes made here only affect that user.
#pragma once

#include "data/Records.h"
#include "data/UserInterface.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;

namespace qdui {
class QtUserInterface;
}

namespace qdschedui {

class UserScheduleDetails : public QDialog {
    Q_OBJECT
public:
    // `insert` chooses the title "NewSchedule Details" instead of "Edit User
    // Schedule Details". Dates use `datePicture`.
    UserScheduleDetails(const qd::QDUSDRecord& row, bool insert, qd::UserInterface& ui,
                        std::string datePicture, QWidget* parent = nullptr);

    const qd::QDUSDRecord& row() const { return row_; }
    QLineEdit* field(const char* objectName) const;

    // OK: the start date and time are required ("@PROMPT must be entered."),
    // every date and time must read; the form stays open otherwise.
    void accept() override;

private:
    qd::QDUSDRecord row_;
    qd::UserInterface& ui_;
    std::string datePicture_;
    QLineEdit* date_ = nullptr;
    QLineEdit* time_ = nullptr;
    QLineEdit* warnDate_ = nullptr;
    QLineEdit* warnTime_ = nullptr;
    QCheckBox* disabled_ = nullptr;
    QCheckBox* skipNext_ = nullptr;
};

// Runs the form through `ui` (so tests can answer it); true with `row` changed on OK.
bool editUserScheduleDetails(qd::QDUSDRecord& row, bool insert, qdui::QtUserInterface& ui,
                             const std::string& datePicture);

} // namespace qdschedui
