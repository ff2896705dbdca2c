#include "ui/MessageWindow.h"

#include "data/Clock.h"
#include "perform/TaskExecution.h"
#include "ui/MainMenu.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qdui {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QPushButton* makeButton(QWidget* parent, const char* text, const char* name, const char* tip,
                        bool available) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setAccessibleName(QString(QString::fromUtf8(text)).remove('&'));
    b->setToolTip(QString::fromUtf8(available ? tip : kNotAvailableTip));
    b->setAccessibleDescription(b->toolTip());
    b->setEnabled(available);
    b->setAutoDefault(false);
    return b;
}

} // namespace

MessageWindow::MessageWindow(const qd::MessageRequest& request, const qd::Clock& clock, AlarmSettings alarm,
                             MessageActions actions, QWidget* parent)
    : QDialog(parent), request_(request), clock_(clock), actions_(std::move(actions)),
      alarm_(std::make_unique<qd::AlarmRepeat>(clock.now(), alarm.repeatAlarmInterval, alarm.maxAlarmTime)) {
    setObjectName("MessageWindow");
    setWindowTitle("Message");
    setSizeGripEnabled(true);
    setMinimumSize(100, 100);
    resize(434, 252);
    if (request.modal) setWindowFlag(Qt::WindowStaysOnTopHint);

    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(q(request.title), this);
    heading->setObjectName("MessageTitle");
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setWordWrap(true);
    auto* text = new QPlainTextEdit(this);
    text->setObjectName("MessageText");
    text->setAccessibleName("Message");
    text->setReadOnly(true);
    text->setPlainText(q(request.text));
    layout->addWidget(heading);
    layout->addWidget(text, 1);

    auto* row = new QHBoxLayout;
    snooze_ = makeButton(this, "&Snooze", "SnoozeButton", "Have this message reappear in a few minutes",
                         static_cast<bool>(actions_.snooze));
    toDo_ = makeButton(this, "&To Do", "ToDoButton", "Add this to your to do list",
                       static_cast<bool>(actions_.addToDo));
    email_ = makeButton(this, "&Email", "EmailButton", "Send this as an email message",
                        static_cast<bool>(actions_.email));
    close_ = makeButton(this, "Cl&ose", "CloseButton", "Close this message window", true);
    close_->setDefault(true);
    for (auto* b : {snooze_, toDo_, email_, close_})
        row->addWidget(b);
    layout->addLayout(row);

    connect(snooze_, &QPushButton::clicked, this, &MessageWindow::onSnooze);
    connect(toDo_, &QPushButton::clicked, this, &MessageWindow::onToDo);
    connect(email_, &QPushButton::clicked, this, [this] {
        if (actions_.email) actions_.email(request_.title, request_.text);
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    if (actions_.log) actions_.log(qd::messageLogDetail(request.title, request.alarmFile), "Message");
    // Half a second: a repeat is never more than that late.
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &MessageWindow::checkAlarm);
    if (!alarm_->finished()) timer_.start();
}

MessageWindow::~MessageWindow() = default;

bool MessageWindow::alarmFinished() const {
    return alarm_->finished();
}

void MessageWindow::checkAlarm() {
    if (!alarm_->due(clock_.now())) {
        if (alarm_->finished()) timer_.stop();
        return;
    }
    ++repeats_;
    if (!request_.alarmFile.empty() && actions_.playSound) actions_.playSound(request_.alarmFile);
}

void MessageWindow::onSnooze() {
    if (actions_.snooze && actions_.snooze(request_.title, request_.text, request_.alarmFile)) accept();
}

void MessageWindow::onToDo() {
    if (!actions_.addToDo || !actions_.addToDo(request_.title, request_.text)) return;
    QMessageBox box(QMessageBox::Information, "Status", "Added to To Do List", QMessageBox::Ok, this);
    box.exec();
}

} // namespace qdui
