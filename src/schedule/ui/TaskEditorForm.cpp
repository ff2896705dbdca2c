#include "schedule/ui/TaskEditorForm.h"

#include "data/IniFile.h"
#include "data/Pictures.h"
#include "data/Text.h"
#include "data/TextWidth.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleDescription.h"
#include "schedule/ui/CalendarWindow.h"
#include "schedule/ui/UserScheduleDetails.h"
#include "ui/QtUserInterface.h"
#include "ui/SoundPlayer.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <filesystem>
#include <map>

namespace qdschedui {
namespace {

constexpr const char* kTimePicture = "@t4";
constexpr const char* kShownProperty = "shownText";

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// The date picture of the fields: the user's date format when it shows a whole
// date, otherwise a numeric one.
std::string datePictureFor(const std::string& dateFormat) {
    std::string p = dateFormat;
    if (!p.empty() && p.front() != '@') p.insert(p.begin(), '@');
    if (qd::pictureKind(p) == qd::PictureKind::Dates) return p;
    return "@d17";
}

// Runs `action` when `watched` loses the focus.
class FocusOut : public QObject {
public:
    FocusOut(QObject* watched, std::function<void()> action) : QObject(watched), action_(std::move(action)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::FocusOut) action_();
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> action_;
};

QLabel* buddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    buddy->setAccessibleName(QString(text).remove('&').remove(QRegularExpression(":$")));
    return l;
}

const char* const kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
const char* const kOrdinalNames[5] = {"1st", "2nd", "3rd", "4th", "Last"};

} // namespace

TaskEditorForm::TaskEditorForm(qd::TaskEditor& editor, qdui::QtUserInterface& ui,
                               const std::string& dateFormat, TaskFormHooks hooks, QObject* parent)
    : QObject(parent), editor_(editor), ui_(ui), dateFormat_(dateFormat),
      datePicture_(datePictureFor(dateFormat)), hooks_(std::move(hooks)) {
    pages_ = {buildTaskPage(),    buildSchedulePage(), buildAlarmPage(),
              buildWarningPage(), buildOptionsPage(),  buildUsersPage()};
}

TaskEditorForm::~TaskEditorForm() = default;

QString TaskEditorForm::pageTitle(Page p) {
    // The tabs' accelerators use letters that no page's own controls use.
    switch (p) {
    case kTask:
        return "T&ask";
    case kSchedule:
        return "Sched&ule";
    case kAlarm:
        return "A&larm";
    case kWarning:
        return "Warning and End";
    case kOptions:
        return "Options";
    case kUsers:
        return "Users";
    case kPageCount:
        break;
    }
    return {};
}

// --- controls --------------------------------------------------------------------

QCheckBox* TaskEditorForm::boundBox(QWidget* parent, const char* name, const QString& text,
                                    std::uint8_t qd::ScheduleRecord::*field) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    box->setAccessibleName(QString(text).remove('&'));
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
        if (loading_) return;
        editor_.task.*field = on ? 1 : 0;
        updatePreview();
    });
    return box;
}

QLineEdit* TaskEditorForm::dateEdit(QWidget* parent, const char* name, const QString& accessible) {
    auto* f = new QLineEdit(parent);
    f->setObjectName(name);
    f->setAccessibleName(accessible);
    f->setPlaceholderText(q(qd::formatDate(qd::dateFromMDY(12, 31, 2026), datePicture_)));
    f->setMaximumWidth(140);
    connect(f, &QLineEdit::editingFinished, this, [this, f] { dateAccepted(f); });
    return f;
}

QLineEdit* TaskEditorForm::timeEdit(QWidget* parent, const char* name, const QString& accessible) {
    auto* f = new QLineEdit(parent);
    f->setObjectName(name);
    f->setAccessibleName(accessible);
    f->setPlaceholderText("hh:mm:ss");
    f->setMaximumWidth(110);
    connect(f, &QLineEdit::editingFinished, this, [this, f] { timeAccepted(f); });
    return f;
}

QPushButton* TaskEditorForm::calendarButton(QWidget* parent, QLineEdit* field) {
    auto* b = new QPushButton("...", parent);
    b->setObjectName(field->objectName() + "Pick");
    b->setAccessibleName(field->accessibleName() + " calendar");
    b->setMaximumWidth(32);
    connect(b, &QPushButton::clicked, this, [this, field] { pickDate(field); });
    return b;
}

QRadioButton* TaskEditorForm::typeButton(const char* taskType) const {
    for (QAbstractButton* b : types_->buttons())
        if (b->property("taskType").toString() == taskType) return qobject_cast<QRadioButton*>(b);
    return nullptr;
}

QCheckBox* TaskEditorForm::optionBox(const char* objectName) const {
    for (QWidget* p : pages_)
        if (auto* b = p->findChild<QCheckBox*>(objectName)) return b;
    return nullptr;
}

QPushButton* TaskEditorForm::pageButton(const char* objectName) const {
    for (QWidget* p : pages_)
        if (auto* b = p->findChild<QPushButton*>(objectName)) return b;
    return nullptr;
}

// --- pages -------------------------------------------------------------------------

QWidget* TaskEditorForm::buildTaskPage() {
    auto* page = new QWidget;
    page->setObjectName("TaskPage");
    auto* layout = new QVBoxLayout(page);

    auto* typeBox = new QGroupBox("Task type", page);
    typeBox_ = typeBox;
    auto* typeRow = new QHBoxLayout(typeBox);
    types_ = new QButtonGroup(this);
    const std::pair<const char*, const char*> choices[] = {{"&Start Program", qd::kTypeRunProgram},
                                                           {"Display &Message", qd::kTypeDisplayMessage},
                                                           {"&Both", qd::kTypeBoth},
                                                           {"&None", qd::kTypeNone}};
    for (const auto& [text, type] : choices) {
        auto* b = new QRadioButton(text, typeBox);
        b->setObjectName(QString("Type") + QString(type).remove(' '));
        b->setAccessibleName(QString(text).remove('&'));
        b->setProperty("taskType", type);
        types_->addButton(b);
        typeRow->addWidget(b);
    }
    otherType_ = new QLabel(typeBox);
    otherType_->setObjectName("OtherType");
    typeRow->addWidget(otherType_);
    typeRow->addStretch(1);
    layout->addWidget(typeBox);
    connect(types_, &QButtonGroup::buttonToggled, this, [this](QAbstractButton* b, bool on) {
        if (!on || loading_) return;
        qd::setTaskType(editor_.task, b->property("taskType").toString().toStdString());
        {
            const QSignalBlocker quiet(time_);
            time_->setText(q(qd::formatTime(editor_.task.Time, kTimePicture)));
            time_->setProperty(kShownProperty, time_->text());
        }
        showTypeFields();
        updatePreview();
        emit changed();
    });

    auto* form = new QFormLayout;
    description_ = new QLineEdit(page);
    description_->setObjectName("Description");
    description_->setMaxLength(static_cast<int>(qd::ScheduleRecord::Width::Description));
    form->addRow(buddyLabel("&Description:", description_, page), description_);
    connect(description_, &QLineEdit::textEdited, this,
            [this](const QString& t) { editor_.task.Description = t.toStdString(); });
    category_ = new QComboBox(page);
    category_->setObjectName("Category");
    form->addRow(buddyLabel("Cate&gory:", category_, page), category_);
    connect(category_, &QComboBox::currentTextChanged, this, [this](const QString& t) {
        if (!loading_) editor_.task.Category = t.toStdString();
    });
    command_ = new QLineEdit(page);
    command_->setObjectName("Command");
    command_->setMaxLength(static_cast<int>(qd::ScheduleRecord::Width::Command));
    commandLabel_ = buddyLabel("&Program to start:", command_, page);
    form->addRow(commandLabel_, command_);
    connect(command_, &QLineEdit::textEdited, this,
            [this](const QString& t) { editor_.task.Command = t.toStdString(); });
    connect(command_, &QLineEdit::editingFinished, this, [this] {
        qd::commandAccepted(editor_.task);
        description_->setText(q(editor_.task.Description));
    });
    tip_ = new QLabel(qd::kScriptOnlyTip, page);
    tip_->setObjectName("ScriptTip");
    tip_->setWordWrap(true);
    form->addRow(QString(), tip_);
    path_ = new QLineEdit(page);
    path_->setObjectName("Path");
    path_->setMaxLength(static_cast<int>(qd::ScheduleRecord::Width::Path));
    pathLabel_ = buddyLabel("Start &in (path or folder):", path_, page);
    form->addRow(pathLabel_, path_);
    connect(path_, &QLineEdit::textEdited, this,
            [this](const QString& t) { editor_.task.Path = t.toStdString(); });
    message_ = new QPlainTextEdit(page);
    message_->setObjectName("Message");
    messageLabel_ = buddyLabel("Message to displa&y:", message_, page);
    form->addRow(messageLabel_, message_);
    connect(message_, &QPlainTextEdit::textChanged, this, [this] {
        if (loading_) return;
        std::string text = message_->toPlainText().toStdString();
        if (text.size() > 4096) text.resize(4096);
        editor_.task.Message = text;
    });
    new FocusOut(message_, [this] {
        qd::messageAccepted(editor_.task);
        description_->setText(q(editor_.task.Description));
    });
    layout->addLayout(form);
    return page;
}

QWidget* TaskEditorForm::buildSchedulePage() {
    auto* page = new QWidget;
    page->setObjectName("SchedulePage");
    auto* layout = new QVBoxLayout(page);
    specialNote_ = new QLabel(qd::kSpecialEventNote, page);
    specialNote_->setObjectName("SpecialEventNote");
    layout->addWidget(specialNote_);

    auto* grid = new QGridLayout;
    scheduleType_ = new QComboBox(page);
    scheduleType_->setObjectName("ScheduleType");
    for (const char* t : qd::kScheduleTypes)
        scheduleType_->addItem(QString(t) == "Custom" ? "Every..." : t, t);
    grid->addWidget(buddyLabel("Schedule t&ype:", scheduleType_, page), 0, 0);
    grid->addWidget(scheduleType_, 0, 1, 1, 3);
    connect(scheduleType_, &QComboBox::currentIndexChanged, this, [this] {
        if (loading_) return;
        editor_.task.ScheduleType = scheduleType_->currentData().toString().toStdString();
        showRuleFields();
        updatePreview();
    });
    date_ = dateEdit(page, "Date", qd::kPromptDate);
    grid->addWidget(new QLabel("Next &Date to Perform Task:", page), 1, 0);
    qobject_cast<QLabel*>(grid->itemAtPosition(1, 0)->widget())->setBuddy(date_);
    grid->addWidget(date_, 1, 1);
    grid->addWidget(calendarButton(page, date_), 1, 2);
    time_ = timeEdit(page, "Time", qd::kPromptTime);
    grid->addWidget(buddyLabel("Next T&ime to Perform Task:", time_, page), 2, 0);
    grid->addWidget(time_, 2, 1);
    layout->addLayout(grid);

    weekdays_ = new QGroupBox("Days of the week", page);
    auto* days = new QHBoxLayout(weekdays_);
    std::uint8_t qd::ScheduleRecord::*dayFields[7] = {
        &qd::ScheduleRecord::Sunday,    &qd::ScheduleRecord::Monday,   &qd::ScheduleRecord::Tuesday,
        &qd::ScheduleRecord::Wednesday, &qd::ScheduleRecord::Thursday, &qd::ScheduleRecord::Friday,
        &qd::ScheduleRecord::Saturday};
    for (int d = 0; d < 7; ++d) {
        QCheckBox* b = boundBox(weekdays_, kDayNames[d], QString(kDayNames[d]).left(3), dayFields[d]);
        dayBoxes_.push_back(b);
        days->addWidget(b);
    }
    layout->addWidget(weekdays_);

    ordinals_ = new QGroupBox("Weeks of the month", page);
    auto* ords = new QHBoxLayout(ordinals_);
    std::uint8_t qd::ScheduleRecord::*ordFields[5] = {
        &qd::ScheduleRecord::Every1st, &qd::ScheduleRecord::Every2nd, &qd::ScheduleRecord::Every3rd,
        &qd::ScheduleRecord::Every4th, &qd::ScheduleRecord::EveryLast};
    for (int i = 0; i < 5; ++i) {
        QCheckBox* b = boundBox(ordinals_, kOrdinalNames[i], kOrdinalNames[i], ordFields[i]);
        ordinalBoxes_.push_back(b);
        ords->addWidget(b);
    }
    monthEnd_ = boundBox(ordinals_, "MonthEnd", "Month &End", &qd::ScheduleRecord::LastDayofMonth);
    ords->addWidget(monthEnd_);
    connect(monthEnd_, &QCheckBox::toggled, this, [this] { showRuleFields(); });
    layout->addWidget(ordinals_);

    monthly_ = new QWidget(page);
    auto* monthRow = new QHBoxLayout(monthly_);
    monthRow->setContentsMargins(0, 0, 0, 0);
    monthRepeat_ = new QComboBox(monthly_);
    monthRepeat_->setObjectName("MonthRepeat");
    for (const char* m : qd::kMonthRepeats)
        monthRepeat_->addItem(m);
    monthRow->addWidget(buddyLabel("&Repeat:", monthRepeat_, monthly_));
    monthRow->addWidget(monthRepeat_);
    connect(monthRepeat_, &QComboBox::currentTextChanged, this, [this](const QString& t) {
        if (loading_) return;
        editor_.task.MonthRepeat = t.toStdString();
        qd::monthRepeatAccepted(editor_.task);
        offset_->setEnabled(qd::offsetEnabled(editor_.task.MonthRepeat));
        updatePreview();
    });
    offset_ = new QSpinBox(monthly_);
    offset_->setObjectName("Offset");
    offset_->setRange(-28, 28);
    monthRow->addWidget(buddyLabel("Days to &Offset:", offset_, monthly_));
    monthRow->addWidget(offset_);
    connect(offset_, &QSpinBox::valueChanged, this, [this](int v) {
        if (loading_) return;
        editor_.task.Offset = v;
        updatePreview();
    });
    auto* tips = new QPushButton("&Tips", monthly_);
    tips->setObjectName("OffsetTips");
    tips->setAccessibleName("Tips");
    monthRow->addWidget(tips);
    connect(tips, &QPushButton::clicked, this,
            [this] { ui_.message(qd::kOffsetTipsTitle, qd::kOffsetTipsText, qd::MessageIcon::Information); });
    monthRow->addStretch(1);
    layout->addWidget(monthly_);

    everyRow_ = new QWidget(page);
    auto* everyRow = new QHBoxLayout(everyRow_);
    everyRow->setContentsMargins(0, 0, 0, 0);
    every_ = new QSpinBox(everyRow_);
    every_->setObjectName("Every");
    every_->setRange(0, 99999);
    everyRow->addWidget(buddyLabel("E&very:", every_, everyRow_));
    everyRow->addWidget(every_);
    units_ = new QComboBox(everyRow_);
    units_->setObjectName("EveryType");
    units_->setAccessibleName("Units");
    for (const char* u : qd::kEveryUnits)
        units_->addItem(u);
    everyRow->addWidget(units_);
    everyRow->addStretch(1);
    auto everyAccepted = [this] {
        if (loading_) return;
        editor_.task.Every = every_->value();
        editor_.task.EveryType = units_->currentText().toStdString();
        qd::everyAccepted(editor_.task);
        const QSignalBlocker quiet(optionBox("NoHistory"));
        optionBox("NoHistory")->setChecked(editor_.task.NoHistory != 0);
        updatePreview();
    };
    connect(every_, &QSpinBox::valueChanged, this, everyAccepted);
    connect(units_, &QComboBox::currentIndexChanged, this, everyAccepted);
    layout->addWidget(everyRow_);

    skipNext_ = new QCheckBox("&Skip next regular occurance", page);
    skipNext_->setObjectName("SkipNextTime");
    skipNext_->setAccessibleName("Skip next regular occurance");
    connect(skipNext_, &QCheckBox::toggled, this, [this](bool on) {
        if (loading_) return;
        if (editor_.specialEvent())
            editor_.skipSourceNextTime = on;
        else
            editor_.task.SkipNextTime = on ? 1 : 0;
    });
    layout->addWidget(skipNext_);

    auto* exceptions = new QPushButton("E&xceptions...", page);
    exceptions->setObjectName("Exceptions");
    exceptions->setAccessibleName("Exceptions");
    exceptions->setEnabled(static_cast<bool>(hooks_.editExceptions));
    if (!hooks_.editExceptions) exceptions->setToolTip("Not available yet");
    connect(exceptions, &QPushButton::clicked, this, [this] {
        if (hooks_.editExceptions && hooks_.editExceptions(editor_.task)) updatePreview();
    });
    layout->addWidget(exceptions, 0, Qt::AlignLeft);

    rule_ = new QLabel(page);
    rule_->setObjectName("RuleDescription");
    rule_->setAccessibleName("Rule");
    QFont bold = rule_->font();
    bold.setBold(true);
    rule_->setFont(bold);
    layout->addWidget(rule_);
    preview_ = new QLabel(page);
    preview_->setObjectName("NextOccurrences");
    preview_->setAccessibleName("Next occurrences");
    preview_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(preview_);
    layout->addStretch(1);
    return page;
}

QWidget* TaskEditorForm::buildAlarmPage() {
    auto* page = new QWidget;
    page->setObjectName("AlarmPage");
    auto* layout = new QVBoxLayout(page);
    alarm_ = boundBox(page, "Alarm", "Play a WAV file as an alarm", &qd::ScheduleRecord::Alarm);
    layout->addWidget(alarm_);
    auto* row = new QHBoxLayout;
    alarmFile_ = new QLineEdit(page);
    alarmFile_->setObjectName("AlarmFile");
    alarmFile_->setMaxLength(static_cast<int>(qd::ScheduleRecord::Width::AlarmFile) - 1);
    row->addWidget(buddyLabel("Alarm &File:", alarmFile_, page));
    row->addWidget(alarmFile_, 1);
    browse_ = new QPushButton("Browse", page);
    browse_->setObjectName("Browse");
    browse_->setAccessibleName("Browse");
    row->addWidget(browse_);
    play_ = new QPushButton("&Play", page);
    play_->setObjectName("Play");
    play_->setAccessibleName("Play");
    row->addWidget(play_);
    layout->addLayout(row);
    auto* note = new QLabel("Enter BEEP instead of a file for the system beep.", page);
    layout->addWidget(note);
    layout->addStretch(1);
    connect(alarmFile_, &QLineEdit::textEdited, this,
            [this](const QString& t) { editor_.task.AlarmFile = t.toStdString(); });
    connect(alarm_, &QCheckBox::toggled, this, [this](bool on) {
        alarmFile_->setEnabled(on);
        browse_->setEnabled(on);
        play_->setEnabled(on);
        if (loading_ || !on || !qd::text::trim(editor_.task.AlarmFile).empty()) return;
        editor_.task.AlarmFile = editor_.rememberedWavFile();
        alarmFile_->setText(q(editor_.task.AlarmFile));
    });
    connect(browse_, &QPushButton::clicked, this, &TaskEditorForm::browseAlarm);
    connect(play_, &QPushButton::clicked, this, &TaskEditorForm::playAlarm);
    return page;
}

QWidget* TaskEditorForm::buildWarningPage() {
    auto* page = new QWidget;
    page->setObjectName("WarningPage");
    auto* layout = new QVBoxLayout(page);
    auto* warnBox = new QGroupBox("Advance warning", page);
    auto* warn = new QGridLayout(warnBox);
    warnDate_ = dateEdit(warnBox, "AdvanceWarnDate", "Advance warning date");
    warn->addWidget(new QLabel("Warning &date:", warnBox), 0, 0);
    qobject_cast<QLabel*>(warn->itemAtPosition(0, 0)->widget())->setBuddy(warnDate_);
    warn->addWidget(warnDate_, 0, 1);
    warn->addWidget(calendarButton(warnBox, warnDate_), 0, 2);
    warnTime_ = timeEdit(warnBox, "AdvanceWarnTime", "Advance warning time");
    warn->addWidget(new QLabel("Warning ti&me:", warnBox), 1, 0);
    qobject_cast<QLabel*>(warn->itemAtPosition(1, 0)->widget())->setBuddy(warnTime_);
    warn->addWidget(warnTime_, 1, 1);
    warn->addWidget(boundBox(warnBox, "AdvanceWarnRepeat", "&Repeat the warning until the task is due",
                             &qd::ScheduleRecord::AdvanceWarnRepeat),
                    2, 0, 1, 3);
    warn->setColumnStretch(3, 1);
    layout->addWidget(warnBox);

    auto* endBox = new QGroupBox("Expiry", page);
    auto* end = new QGridLayout(endBox);
    expiryDate_ = dateEdit(endBox, "ExpiryDate", "End date");
    end->addWidget(new QLabel("&End (blank=never):", endBox), 0, 0);
    qobject_cast<QLabel*>(end->itemAtPosition(0, 0)->widget())->setBuddy(expiryDate_);
    end->addWidget(expiryDate_, 0, 1);
    end->addWidget(calendarButton(endBox, expiryDate_), 0, 2);
    expiryTime_ = timeEdit(endBox, "ExpiryTime", "End time");
    end->addWidget(new QLabel("End &time:", endBox), 1, 0);
    qobject_cast<QLabel*>(end->itemAtPosition(1, 0)->widget())->setBuddy(expiryTime_);
    end->addWidget(expiryTime_, 1, 1);
    end->setColumnStretch(3, 1);
    layout->addWidget(endBox);
    layout->addStretch(1);
    return page;
}

QWidget* TaskEditorForm::buildOptionsPage() {
    auto* page = new QWidget;
    page->setObjectName("OptionsPage");
    auto* layout = new QVBoxLayout(page);
    auto* intro = new QLabel("Finally, here are some advanced features you may wish to use...", page);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addWidget(
        boundBox(page, "Warn", "&Warn if not run on specified date", &qd::ScheduleRecord::Warn));
    layout->addWidget(boundBox(page, "SkipIfMissed", "&Skip if not run at specified time (+/- 10 minutes)",
                               &qd::ScheduleRecord::SkipIfMissed));
    layout->addWidget(boundBox(page, "UserSkip", "&Before performing task, give option to skip",
                               &qd::ScheduleRecord::UserSkip));
    layout->addWidget(boundBox(page, "SkipIfScriptActive", "Skip if a script is &running",
                               &qd::ScheduleRecord::SkipIfScriptActive));
    QCheckBox* noHistory = boundBox(page, "NoHistory", "No &History", &qd::ScheduleRecord::NoHistory);
    noHistory->setToolTip("Do not show history (remove when completed)");
    layout->addWidget(noHistory);
    QCheckBox* disabled = boundBox(page, "Disabled", "&Disable", &qd::ScheduleRecord::Disabled);
    disabled->setToolTip("Do not perform this task");
    layout->addWidget(disabled);
    layout->addStretch(1);
    return page;
}

QWidget* TaskEditorForm::buildUsersPage() {
    auto* page = new QWidget;
    page->setObjectName("UsersPage");
    auto* layout = new QGridLayout(page);
    allUsers_ = new QListWidget(page);
    allUsers_->setObjectName("AllUsers");
    allUsers_->setAccessibleName("All Users");
    taskUsers_ = new QListWidget(page);
    taskUsers_->setObjectName("TaskUsers");
    taskUsers_->setAccessibleName("Users for this Task");
    layout->addWidget(new QLabel("All Users", page), 0, 0);
    layout->addWidget(new QLabel("Users for this Task", page), 0, 2);
    layout->addWidget(allUsers_, 1, 0);
    layout->addWidget(taskUsers_, 1, 2);
    auto* buttons = new QVBoxLayout;
    const std::pair<const char*, void (TaskEditorForm::*)()> actions[] = {
        {">>", &TaskEditorForm::addAllUsers},
        {">", &TaskEditorForm::addSelectedUser},
        {"<", &TaskEditorForm::removeSelectedUser},
        {"<<", &TaskEditorForm::removeAllUsers}};
    const char* names[] = {"AddAllUsers", "AddUser", "RemoveUser", "RemoveAllUsers"};
    const char* accessible[] = {"Add all users", "Add the selected user", "Remove the selected user",
                                "Remove all users"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(actions[i].first, page);
        b->setObjectName(names[i]);
        b->setAccessibleName(accessible[i]);
        b->setToolTip(accessible[i]);
        connect(b, &QPushButton::clicked, this, actions[i].second);
        buttons->addWidget(b);
    }
    auto* edit = new QPushButton("&Edit...", page);
    edit->setObjectName("EditUser");
    edit->setAccessibleName("Edit the user's schedule details");
    connect(edit, &QPushButton::clicked, this, &TaskEditorForm::editSelectedUser);
    connect(taskUsers_, &QListWidget::itemDoubleClicked, this, &TaskEditorForm::editSelectedUser);
    buttons->addWidget(edit);
    buttons->addStretch(1);
    layout->addLayout(buttons, 1, 1);
    cascade_ = new QComboBox(page);
    cascade_->setObjectName("Cascade");
    cascade_->addItems({"All", "Selected", "None"});
    auto* cascadeRow = new QHBoxLayout;
    cascadeRow->addWidget(buddyLabel("Cascade task schedule &changes to:", cascade_, page));
    cascadeRow->addWidget(cascade_);
    cascadeRow->addStretch(1);
    layout->addLayout(cascadeRow, 2, 0, 1, 3);
    connect(cascade_, &QComboBox::currentIndexChanged, this,
            [this](int i) { editor_.cascade = static_cast<qd::TaskEditor::Cascade>(std::max(0, i)); });
    connect(taskUsers_, &QListWidget::currentTextChanged, this,
            [this](const QString& u) { editor_.selectedUser = u.toStdString(); });
    return page;
}

// --- showing the task --------------------------------------------------------------

void TaskEditorForm::load() {
    loading_ = true;
    const qd::ScheduleRecord& t = editor_.task;
    bool known = false;
    for (QAbstractButton* b : types_->buttons()) {
        const bool mine = b->property("taskType").toString().toStdString() == qd::text::trimRight(t.TaskType);
        b->setChecked(mine);
        known = known || mine;
    }
    // A hot key task keeps its type: the editor does not offer it.
    for (QAbstractButton* b : types_->buttons())
        b->setEnabled(known);
    otherType_->setText(known ? QString() : q(t.TaskType));
    description_->setText(q(t.Description));
    {
        category_->clear();
        QStringList names;
        for (const std::string& c : editor_.categories())
            names << q(c);
        if (!qd::text::trim(t.Category).empty() && !names.contains(q(t.Category), Qt::CaseInsensitive))
            names.prepend(q(t.Category));
        if (!names.contains("General", Qt::CaseInsensitive)) names << "General";
        category_->addItems(names);
        const int i = category_->findText(q(t.Category), Qt::MatchFixedString);
        category_->setCurrentIndex(std::max(0, i));
        editor_.task.Category = category_->currentText().toStdString();
    }
    command_->setText(q(t.Command));
    path_->setText(q(t.Path));
    message_->setPlainText(q(t.Message));

    const int rule = scheduleType_->findData(q(std::string(qd::text::trimRight(t.ScheduleType))));
    scheduleType_->setCurrentIndex(rule >= 0 ? rule : scheduleType_->findData("Custom"));
    if (rule < 0 && !qd::text::trim(t.ScheduleType).empty()) editor_.task.ScheduleType = "Custom";
    const std::uint8_t days[7] = {t.Sunday,   t.Monday, t.Tuesday, t.Wednesday,
                                  t.Thursday, t.Friday, t.Saturday};
    for (int d = 0; d < 7; ++d)
        dayBoxes_[static_cast<std::size_t>(d)]->setChecked(days[d] != 0);
    const std::uint8_t ords[5] = {t.Every1st, t.Every2nd, t.Every3rd, t.Every4th, t.EveryLast};
    for (int i = 0; i < 5; ++i)
        ordinalBoxes_[static_cast<std::size_t>(i)]->setChecked(ords[i] != 0);
    monthEnd_->setChecked(t.LastDayofMonth != 0);
    qd::monthRepeatAccepted(editor_.task);
    const int repeat = monthRepeat_->findText(q(t.MonthRepeat), Qt::MatchFixedString);
    monthRepeat_->setCurrentIndex(std::max(0, repeat));
    offset_->setValue(t.Offset);
    every_->setValue(t.Every);
    const int unit = units_->findText(q(t.EveryType), Qt::MatchFixedString);
    units_->setCurrentIndex(std::max(0, unit));
    skipNext_->setText(editor_.specialEvent() ? "&Skip next regular occurance of this task"
                                              : "&Skip next regular occurance");
    skipNext_->setChecked(editor_.specialEvent() ? editor_.skipSourceNextTime : t.SkipNextTime != 0);
    specialNote_->setVisible(editor_.specialEvent());

    auto showDate = [this](QLineEdit* f, qd::Date d) {
        f->setText(d == 0 ? QString() : q(qd::formatDate(d, datePicture_)));
        f->setProperty(kShownProperty, f->text());
    };
    auto showTime = [](QLineEdit* f, qd::Time tm) {
        f->setText(tm == 0 ? QString() : q(qd::formatTime(tm, kTimePicture)));
        f->setProperty(kShownProperty, f->text());
    };
    showDate(date_, t.Date);
    showTime(time_, t.Time);
    showDate(warnDate_, t.AdvanceWarnDate);
    showTime(warnTime_, t.AdvanceWarnTime);
    showDate(expiryDate_, t.ExpiryDate);
    showTime(expiryTime_, t.ExpiryTime);

    alarm_->setChecked(t.Alarm != 0);
    alarmFile_->setText(q(t.AlarmFile));
    alarmFile_->setEnabled(t.Alarm != 0);
    browse_->setEnabled(t.Alarm != 0);
    play_->setEnabled(t.Alarm != 0);
    for (const char* name : {"Warn", "SkipIfMissed", "UserSkip", "SkipIfScriptActive", "NoHistory",
                             "Disabled", "AdvanceWarnRepeat"}) {
        QCheckBox* b = optionBox(name);
        const std::map<std::string, std::uint8_t> values{{"Warn", t.Warn},
                                                         {"SkipIfMissed", t.SkipIfMissed},
                                                         {"UserSkip", t.UserSkip},
                                                         {"SkipIfScriptActive", t.SkipIfScriptActive},
                                                         {"NoHistory", t.NoHistory},
                                                         {"Disabled", t.Disabled},
                                                         {"AdvanceWarnRepeat", t.AdvanceWarnRepeat}};
        b->setChecked(values.at(name) != 0);
    }
    cascade_->setCurrentIndex(static_cast<int>(editor_.cascade));
    loadUsers();
    loading_ = false;
    showTypeFields();
    showRuleFields();
    updatePreview();
}

void TaskEditorForm::setTypeChoiceShown(bool shown) {
    typeBox_->setVisible(shown);
}

void TaskEditorForm::showTypeFields() {
    const std::string type(qd::text::trimRight(editor_.task.TaskType));
    const bool program = qd::startsProgram(type) || type == qd::kTypeHotKey;
    const bool message = qd::showsMessage(type);
    for (QWidget* w : std::initializer_list<QWidget*>{command_, commandLabel_, path_, pathLabel_, tip_})
        w->setVisible(program);
    message_->setVisible(message);
    messageLabel_->setVisible(message);
    // A reminder has its fixed time.
    time_->setEnabled(type != qd::kTypeNone);
}

void TaskEditorForm::showRuleFields() {
    const qd::RuleType type = qd::ruleTypeOf(editor_.task.ScheduleType);
    weekdays_->setVisible(type == qd::RuleType::DayOfWeek || type == qd::RuleType::DayOfMonth);
    ordinals_->setVisible(type == qd::RuleType::DayOfMonth);
    monthly_->setVisible(type == qd::RuleType::Monthly);
    everyRow_->setVisible(type == qd::RuleType::Custom);
    const bool boxes = type != qd::RuleType::DayOfMonth || qd::ordinalBoxesEnabled(editor_.task);
    for (QCheckBox* b : dayBoxes_)
        b->setEnabled(boxes);
    for (QCheckBox* b : ordinalBoxes_)
        b->setEnabled(boxes);
    offset_->setEnabled(qd::offsetEnabled(editor_.task.MonthRepeat));
}

QString TaskEditorForm::ruleText() const {
    return rule_->text();
}

QString TaskEditorForm::previewText() const {
    return preview_->text();
}

void TaskEditorForm::updatePreview() {
    if (loading_) return;
    rule_->setText(q(qd::ScheduleDescription(editor_.task)));
    const std::vector<qd::Moment> next = qd::upcomingOccurrences(editor_.task, 5);
    QStringList lines;
    for (const qd::Moment& m : next)
        lines << q(qd::formatDate(m.date, datePicture_) + "  " + qd::formatTime(m.time, kTimePicture));
    preview_->setText(lines.isEmpty() ? "Next: none" : "Next: " + lines.join("\n          "));
}

// --- accepting fields ---------------------------------------------------------------

bool TaskEditorForm::readDate(QLineEdit* field, qd::Date& out) {
    const std::string text = field->text().trimmed().toStdString();
    if (text.empty()) {
        out = 0;
        return true;
    }
    if (auto d = qd::parseDate(text, datePicture_)) {
        out = *d;
        return true;
    }
    ui_.message("Date", "\"" + text + "\" is not a date.", qd::MessageIcon::Exclamation);
    field->setText(field->property(kShownProperty).toString());
    return false;
}

bool TaskEditorForm::readTime(QLineEdit* field, qd::Time& out) {
    const std::string text = field->text().trimmed().toStdString();
    if (text.empty()) {
        out = 0;
        return true;
    }
    if (auto t = qd::parseTime(text, kTimePicture)) {
        out = *t;
        return true;
    }
    ui_.message("Time", "\"" + text + "\" is not a time.", qd::MessageIcon::Exclamation);
    field->setText(field->property(kShownProperty).toString());
    return false;
}

void TaskEditorForm::dateAccepted(QLineEdit* field) {
    // Only a changed text is read again: the shown text may round the value.
    if (loading_ || field->text() == field->property(kShownProperty).toString()) return;
    qd::Date d = 0;
    if (!readDate(field, d)) return;
    qd::ScheduleRecord& t = editor_.task;
    if (field == date_) {
        t.Date = d;
        qd::startDateAccepted(t, editor_.specialEvent(), qd::readAdvanceWarningDefaults(editor_.dataFolder()),
                              ui_);
    } else if (field == warnDate_) {
        t.AdvanceWarnDate = d;
        qd::advanceWarningAccepted(t, ui_);
    } else if (field == expiryDate_) {
        t.ExpiryDate = d;
        qd::expiryAccepted(t, ui_);
    }
    const qd::TaskEditor::Cascade keep = editor_.cascade;
    load();
    editor_.cascade = keep;
}

void TaskEditorForm::timeAccepted(QLineEdit* field) {
    if (loading_ || field->text() == field->property(kShownProperty).toString()) return;
    qd::Time tm = 0;
    if (!readTime(field, tm)) return;
    qd::ScheduleRecord& t = editor_.task;
    if (field == time_) {
        t.Time = tm;
    } else if (field == warnTime_) {
        t.AdvanceWarnTime = tm;
        qd::advanceWarningAccepted(t, ui_);
    } else if (field == expiryTime_) {
        t.ExpiryTime = tm;
        qd::expiryAccepted(t, ui_);
    }
    load();
}

void TaskEditorForm::acceptPending() {
    for (QLineEdit* f : {date_, time_, warnDate_, warnTime_, expiryDate_, expiryTime_})
        if (f->text() != f->property(kShownProperty).toString()) {
            if (f == date_ || f == warnDate_ || f == expiryDate_)
                dateAccepted(f);
            else
                timeAccepted(f);
        }
}

bool TaskEditorForm::checkPage(Page p) {
    const auto missing = qd::missingField(editor_.task);
    if (!missing) return true;
    const std::string& m = *missing;
    const bool here =
        (p == kTask && m == qd::kPromptMessage) ||
        (p == kSchedule && (m == qd::kPromptDate || m == qd::kPromptTime || m == qd::kPromptEvery)) ||
        (p == kAlarm && m == qd::kPromptAlarmFile);
    if (!here) return true;
    ui_.message(qd::kMissingTitle, qd::mustBeEntered(m), qd::MessageIcon::Exclamation);
    return false;
}

// --- alarm ---------------------------------------------------------------------------

void TaskEditorForm::browseAlarm() {
    qd::IniFile ini(editor_.dataFolder(), qd::kProgramIniName);
    qd::PromptRequest request;
    request.kind = qd::PromptKind::File;
    request.title = "Select WAV File for Alarm";
    request.filter = "WAV Files|*.WAV";
    request.initial = ini.get("Defaults", "WAVPath");
    const auto file = ui_.prompt(request);
    if (!file || file->empty()) return;
    ini.set("Defaults", "WAVPath", std::filesystem::path(*file).parent_path().string());
    editor_.task.AlarmFile = qd::fitText(*file, qd::ScheduleRecord::Width::AlarmFile - 1);
    alarmFile_->setText(q(editor_.task.AlarmFile));
}

void TaskEditorForm::playAlarm() {
    if (!sound_) sound_ = std::make_unique<qdui::SoundPlayer>(editor_.dataFolder());
    QString why;
    if (!sound_->play(editor_.task.AlarmFile, why)) {
        play_->setToolTip(why);
        browse_->setFocus();
    }
}

// --- dates ---------------------------------------------------------------------------

QString TaskEditorForm::calendarTitle(QLineEdit* field) const {
    // A stored task is rescheduled; a new one gets its dates chosen.
    const bool stored = editor_.mode() == qd::EditMode::Change || editor_.specialEvent();
    if (field == expiryDate_) return "Select Expiry Date";
    if (stored) return "Reschedule for...";
    return field == warnDate_ ? "Select Advanced Warning Date" : "Select Starting Date";
}

void TaskEditorForm::pickDate(QLineEdit* field) {
    qd::Date current = 0;
    if (!readDate(field, current)) return;
    CalendarOptions options;
    options.date = current != 0 ? current : editor_.task.Date;
    options.title = calendarTitle(field).toStdString();
    // The task's own date is offered on the days its rule falls on (a special
    // event is a one-time copy, held to no rule).
    if (field == date_ && !editor_.specialEvent()) options.rule = editor_.task;
    const qd::Date chosen =
        CalendarWindow::pick(editor_.dataSet(), ui_, editor_.clock(), dateFormat_, options, field->window());
    if (chosen == 0 || chosen == current) return;
    field->setText(q(qd::formatDate(chosen, datePicture_)));
    dateAccepted(field);
}

// --- users ----------------------------------------------------------------------------

void TaskEditorForm::loadUsers() {
    allUsers_->clear();
    for (const std::string& u : editor_.allUsers())
        allUsers_->addItem(q(u));
    const QString selected = taskUsers_->currentItem() ? taskUsers_->currentItem()->text() : QString();
    taskUsers_->clear();
    for (const qd::QDUSDRecord& r : editor_.userRows())
        taskUsers_->addItem(q(r.User));
    const auto found = taskUsers_->findItems(selected, Qt::MatchFixedString);
    if (!found.isEmpty()) taskUsers_->setCurrentItem(found.front());
}

void TaskEditorForm::addAllUsers() {
    editor_.addAllUsers();
    loadUsers();
}

void TaskEditorForm::addSelectedUser() {
    if (QListWidgetItem* i = allUsers_->currentItem()) editor_.addUser(i->text().toStdString());
    loadUsers();
}

void TaskEditorForm::removeSelectedUser() {
    if (QListWidgetItem* i = taskUsers_->currentItem()) editor_.removeUser(i->text().toStdString());
    loadUsers();
}

void TaskEditorForm::editSelectedUser() {
    QListWidgetItem* item = taskUsers_->currentItem();
    if (!item) return;
    for (const qd::QDUSDRecord& r : editor_.userRows())
        if (QString::fromStdString(r.User).compare(item->text(), Qt::CaseInsensitive) == 0) {
            qd::QDUSDRecord row = r;
            if (editUserScheduleDetails(row, false, ui_, datePicture_)) editor_.changeUserRow(row);
            return;
        }
}

void TaskEditorForm::removeAllUsers() {
    editor_.removeAllUsers();
    loadUsers();
}

} // namespace qdschedui
