// The holiday list ("Holidays") and the form of one holiday ("Update the Holidays
// File"). The list reads the Holidays table in date order a page at a time; the form
// requires a date, refuses a date another holiday already has (the record layer's
// duplicate-key message, the form stays open) and dates an "Easter" holiday from
// Easter when its type is changed to it.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "ui/QueryDialog.h"
#include "ui/RecordListModel.h"

#include <QDialog>
#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace qdschedui {

// What the holiday windows work with; everything must outlive the windows.
struct HolidayUiContext {
    qd::DataSet& ds;
    qd::UserInterface& ui;
    const qd::Clock& clock;
    const std::string& dateFormat;
};

class HolidayListModel : public qdui::RecordListModelOf<qd::HolidaysRecord> {
    Q_OBJECT
public:
    static constexpr int kDateRole = Qt::UserRole + 1;

    HolidayListModel(qd::DataSet& ds, const std::string& dateFormat, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    // The first row dated on or after `date` (a search reading a few pages); -1 when none.
    int locate(qd::Date date);

private:
    const std::string& dateFormat_;
};

// "Update the Holidays File": one holiday, new (date 0 on entry) or changed.
class HolidayForm : public QDialog {
    Q_OBJECT
public:
    HolidayForm(HolidayUiContext& context, const qd::HolidaysRecord& holiday, QWidget* parent = nullptr);

    QLineEdit* dateField() const { return date_; }
    QLineEdit* descriptionField() const { return description_; }
    QComboBox* typeField() const { return type_; }
    // The holiday as saved (after OK).
    const qd::HolidaysRecord& saved() const { return saved_; }
    // The "..." button: the calendar titled "Select Date".
    void pickDate();

    // Checks the date and saves: a refused save keeps the form open.
    void accept() override;

private:
    void typeChanged(const QString& type);
    bool save(const qd::HolidaysRecord& row);

    HolidayUiContext& context_;
    qd::Date original_ = 0; // the date of the holiday changed; 0 for a new one
    qd::HolidaysRecord saved_;
    QLineEdit* date_ = nullptr;
    QLineEdit* description_ = nullptr;
    QComboBox* type_ = nullptr;
};

// The list of holidays with "&New", "&Edit", "&Delete", "Cl&ose" and a locator on the date.
class BrowseHolidaysWindow : public QWidget {
    Q_OBJECT
public:
    explicit BrowseHolidaysWindow(HolidayUiContext& context, QWidget* parent = nullptr);

    HolidayListModel& model() { return *model_; }
    QTableView* view() const { return view_; }
    QLineEdit* locator() const { return locator_; }
    // The date of the highlighted holiday; 0 when none.
    qd::Date selectedDate() const;
    bool selectDate(qd::Date date);

    void newPressed();
    void editPressed();
    void deletePressed();
    void refresh();
    // The timer's check: reads the list again when the store was changed by another
    // connection (the daily roll-forward of another process, another station).
    void poll();

    // The list as a modal window of its own (from the exceptions window).
    static void showModal(HolidayUiContext& context, QWidget* parent);

signals:
    void closeRequested();

private:
    void locate(const QString& text);

    HolidayUiContext& context_;
    HolidayListModel* model_ = nullptr;
    qdui::QueryBar* query_ = nullptr;
    QTableView* view_ = nullptr;
    QLineEdit* locator_ = nullptr;
    long long version_ = -1;
};

} // namespace qdschedui
