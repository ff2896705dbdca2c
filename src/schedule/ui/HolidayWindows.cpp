#include "schedule/ui/HolidayWindows.h"

#include "data/FileManager.h"
#include "data/Pictures.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "schedule/Holidays.h"
#include "schedule/TaskLists.h"
#include "schedule/ui/CalendarWindow.h"
#include "ui/WindowParts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qdschedui {

namespace {

constexpr const char* kHolidayTypes[] = {"Annual", "Day of Month", "Easter", "Once"};

QPushButton* addButton(QWidget* parent, QBoxLayout* row, const char* name, const char* text) {
    return qdui::namedButton(parent, text, name, row);
}

} // namespace

// ---------------------------------------------------------------------------

HolidayListModel::HolidayListModel(qd::DataSet& ds, const std::string& dateFormat, QObject* parent)
    : RecordListModelOf(ds, qd::tables::Holidays(), "HOL:KeyHolidayDate", {"Date", "Description"}, parent),
      dateFormat_(dateFormat) {}

QVariant HolidayListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const qd::HolidaysRecord r = record(index.row());
    if (role == kDateRole) return r.HolidayDate;
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    if (index.column() == 0) return QString::fromStdString(qd::formatUserDate(r.HolidayDate, dateFormat_));
    return QString::fromStdString(r.Holiday);
}

int HolidayListModel::locate(qd::Date date) {
    // The rows are in date order: halve the stretch until the first row on or
    // after the date is found.
    int low = 0, high = rowCount();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (record(mid).HolidayDate < date)
            low = mid + 1;
        else
            high = mid;
    }
    return low < rowCount() ? low : -1;
}

// ---------------------------------------------------------------------------

HolidayForm::HolidayForm(HolidayUiContext& context, const qd::HolidaysRecord& holiday, QWidget* parent)
    : QDialog(parent), context_(context), original_(holiday.HolidayDate), saved_(holiday) {
    setObjectName("UpdateHolidays");
    setWindowTitle("Update the Holidays File");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;

    auto* dateRow = new QHBoxLayout;
    date_ = new QLineEdit(QString::fromStdString(qd::formatUserDate(holiday.HolidayDate, context.dateFormat)),
                          this);
    date_->setObjectName("HolidayDate");
    date_->setAccessibleName("Holiday Date");
    dateRow->addWidget(date_, 1);
    auto* pick = new QToolButton(this);
    pick->setObjectName("PickDate");
    pick->setText("...");
    pick->setAccessibleName("Select Date");
    pick->setToolTip("Select Date");
    dateRow->addWidget(pick);
    auto* dateLabel = new QLabel("&Date:", this);
    dateLabel->setBuddy(date_);
    form->addRow(dateLabel, dateRow);

    description_ = new QLineEdit(QString::fromStdString(holiday.Holiday), this);
    description_->setObjectName("Holiday");
    description_->setAccessibleName("Description");
    description_->setMaxLength(30);
    form->addRow("De&scription:", description_);

    type_ = new QComboBox(this);
    type_->setObjectName("HolidayType");
    type_->setAccessibleName("Holiday Type");
    for (const char* t : kHolidayTypes)
        type_->addItem(t);
    const int at =
        type_->findText(QString::fromStdString(std::string(qd::text::trimRight(holiday.HolidayType))));
    type_->setCurrentIndex(std::max(0, at));
    form->addRow("Holiday T&ype", type_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("OK");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &HolidayForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HolidayForm::reject);
    layout->addWidget(buttons);

    connect(pick, &QToolButton::clicked, this, &HolidayForm::pickDate);
    connect(type_, &QComboBox::textActivated, this, &HolidayForm::typeChanged);
    resize(360, sizeHint().height());
}

void HolidayForm::pickDate() {
    CalendarOptions options;
    options.title = "Select Date";
    const auto typed = qd::parseUserDate(date_->text().toStdString(), context_.dateFormat);
    options.date = typed ? *typed : 0;
    const qd::Date day =
        CalendarWindow::pick(context_.ds, context_.ui, context_.clock, context_.dateFormat, options, this);
    if (day != 0) date_->setText(QString::fromStdString(qd::formatUserDate(day, context_.dateFormat)));
}

void HolidayForm::typeChanged(const QString& type) {
    if (type != "Easter") return;
    const auto typed = qd::parseUserDate(date_->text().toStdString(), context_.dateFormat);
    const qd::Date date =
        qd::easterHolidayDate(description_->text().toStdString(), typed ? *typed : 0, context_.clock.today());
    date_->setText(QString::fromStdString(qd::formatUserDate(date, context_.dateFormat)));
}

void HolidayForm::accept() {
    std::string error;
    const std::string typed = date_->text().trimmed().toStdString();
    const auto date = qd::parseUserDate(typed, context_.dateFormat, &error);
    if (typed.empty() || (date && *date == 0)) {
        context_.ui.message("Missing Information", "Holiday Date must be entered.",
                            qd::MessageIcon::Exclamation);
        date_->setFocus();
        return;
    }
    if (!date) {
        context_.ui.message("Invalid Date", "\"" + typed + "\" is not a date: " + error,
                            qd::MessageIcon::Exclamation);
        date_->setFocus();
        date_->selectAll();
        return;
    }
    qd::HolidaysRecord row;
    row.HolidayDate = *date;
    row.Holiday = description_->text().toStdString();
    row.HolidayType = type_->currentText().toStdString();
    if (!save(row)) {
        date_->setFocus();
        date_->selectAll();
        return;
    }
    saved_ = row;
    QDialog::accept();
}

bool HolidayForm::save(const qd::HolidaysRecord& row) {
    qd::Table<qd::HolidaysRecord> t(context_.ds, qd::tables::Holidays());
    if (t.open() != qd::Level::Benign) return false;
    if (original_ == 0) {
        t.rec = row;
        // A date another holiday has is refused by the unique key with its message.
        return t.insert() == qd::Level::Benign;
    }
    t.rec = {};
    t.rec.HolidayDate = original_;
    if (t.fetch("HOL:KeyHolidayDate") != qd::Level::Benign) {
        context_.ui.message("Holidays", "This holiday is not there any more.", qd::MessageIcon::Exclamation);
        return false;
    }
    if (row.HolidayDate != original_) {
        // Moving onto the date of another holiday: the same refusal as for a new one.
        qd::Table<qd::HolidaysRecord> other(context_.ds, qd::tables::Holidays());
        other.open();
        other.rec.HolidayDate = row.HolidayDate;
        if (other.fetch("HOL:KeyHolidayDate") == qd::Level::Benign) {
            qd::ErrorContext ctx;
            ctx.file = t.def().label;
            ctx.message = "HOL:KeyHolidayDate";
            context_.ds.errors().throwMessage(13, ctx);
            return false;
        }
    }
    t.rec = row;
    return t.update() == qd::Level::Benign;
}

// ---------------------------------------------------------------------------

BrowseHolidaysWindow::BrowseHolidaysWindow(HolidayUiContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("BrowseHolidays");
    setWindowTitle("Holidays");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);

    auto* locateRow = new QHBoxLayout;
    locator_ = new QLineEdit(this);
    locator_->setObjectName("Locator");
    locator_->setAccessibleName("Locate date");
    locator_->setPlaceholderText(
        QString::fromStdString(qd::formatUserDate(context.clock.today(), context.dateFormat)));
    auto* locateLabel = new QLabel("&Locate:", this);
    locateLabel->setBuddy(locator_);
    locateRow->addWidget(locateLabel);
    locateRow->addWidget(locator_, 1);
    layout->addLayout(locateRow);

    model_ = new HolidayListModel(context.ds, context.dateFormat, this);
    view_ = qdui::recordTable(this, "HolidayList", "Holidays", model_);
    view_->setShowGrid(false);
    view_->horizontalHeader()->resizeSection(0, 120);
    view_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(view_, 1);
    const qd::TableDef& def = qd::tables::Holidays();
    query_ = new qdui::QueryBar({{def.findField("HolidayDate"), "Date", qdui::QueryFieldKind::Date},
                                 {def.findField("Holiday"), "Description", qdui::QueryFieldKind::Text},
                                 {def.findField("HolidayType"), "Type", qdui::QueryFieldKind::Text}},
                                "holidays", this);
    qdui::followQuery(query_, model_, view_);
    layout->addWidget(query_->shown());

    auto* row = new QHBoxLayout;
    connect(addButton(this, row, "New", "&New"), &QPushButton::clicked, this,
            &BrowseHolidaysWindow::newPressed);
    connect(addButton(this, row, "Edit", "&Edit"), &QPushButton::clicked, this,
            &BrowseHolidaysWindow::editPressed);
    connect(addButton(this, row, "Delete", "&Delete"), &QPushButton::clicked, this,
            &BrowseHolidaysWindow::deletePressed);
    query_->addButtons(row);
    row->addStretch(1);
    connect(addButton(this, row, "Close", "Cl&ose"), &QPushButton::clicked, this, [this] {
        emit closeRequested();
        if (parentWidget() && parentWidget()->inherits("QMdiSubWindow"))
            parentWidget()->close();
        else if (!qobject_cast<QDialog*>(parentWidget()))
            close();
    });
    layout->addLayout(row);

    connect(view_, &QTableView::doubleClicked, this, &BrowseHolidaysWindow::editPressed);
    // Holidays share their file with the tasks: its change counter tells of changes
    // made elsewhere.
    version_ = qd::taskStoreVersion(context_.ds);
    auto* timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &BrowseHolidaysWindow::poll);
    timer->start();
    connect(locator_, &QLineEdit::textEdited, this, &BrowseHolidaysWindow::locate);
    if (model_->rowCount() > 0) view_->selectRow(0);
}

qd::Date BrowseHolidaysWindow::selectedDate() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return 0;
    return model_->data(rows.first(), HolidayListModel::kDateRole).toInt();
}

bool BrowseHolidaysWindow::selectDate(qd::Date date) {
    const int row = model_->locate(date);
    if (row < 0) return false;
    view_->selectRow(row);
    view_->scrollTo(model_->index(row, 0));
    return model_->record(row).HolidayDate == date;
}

void BrowseHolidaysWindow::locate(const QString& text) {
    const auto date = qd::parseUserDate(text.trimmed().toStdString(), context_.dateFormat);
    if (date && *date != 0) selectDate(*date);
}

void BrowseHolidaysWindow::poll() {
    if (qd::taskStoreVersion(context_.ds) != version_) refresh();
}

void BrowseHolidaysWindow::refresh() {
    version_ = qd::taskStoreVersion(context_.ds);
    const qd::Date keep = selectedDate();
    model_->reload();
    if (keep == 0 || !selectDate(keep))
        if (model_->rowCount() > 0 && selectedDate() == 0) view_->selectRow(0);
}

void BrowseHolidaysWindow::newPressed() {
    HolidayForm form(context_, qd::HolidaysRecord{}, this);
    if (runModal(context_.ui, form) != QDialog::Accepted) return;
    model_->reload();
    selectDate(form.saved().HolidayDate);
}

void BrowseHolidaysWindow::editPressed() {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    HolidayForm form(context_, model_->record(rows.first().row()), this);
    if (runModal(context_.ui, form) != QDialog::Accepted) return;
    model_->reload();
    selectDate(form.saved().HolidayDate);
}

void BrowseHolidaysWindow::deletePressed() {
    const qd::Date date = selectedDate();
    if (date == 0) return;
    qd::Table<qd::HolidaysRecord> t(context_.ds, qd::tables::Holidays());
    if (t.open() != qd::Level::Benign) return;
    t.rec.HolidayDate = date;
    if (t.fetch("HOL:KeyHolidayDate") == qd::Level::Benign) qd::RelationManager(t).deleteRecord(true);
    const int row = view_->currentIndex().row();
    model_->reload();
    if (model_->rowCount() > 0) view_->selectRow(std::clamp(row, 0, model_->rowCount() - 1));
}

void BrowseHolidaysWindow::showModal(HolidayUiContext& context, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName("BrowseHolidaysDialog");
    dialog.setWindowTitle("Holidays");
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* list = new BrowseHolidaysWindow(context, &dialog);
    list->setAttribute(Qt::WA_DeleteOnClose, false);
    layout->addWidget(list);
    connect(list, &BrowseHolidaysWindow::closeRequested, &dialog, &QDialog::accept);
    dialog.resize(420, 360);
    qdschedui::runModal(context.ui, dialog);
}

} // namespace qdschedui
