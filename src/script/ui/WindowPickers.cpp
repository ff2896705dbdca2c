#include "script/ui/WindowPickers.h"

#include "script/ui/ScriptUiContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace qdscriptui {

int countMatches(const std::vector<qd::WindowListEntry>& windows, const std::string& pattern) {
    if (pattern.empty()) return 0;
    int n = 0;
    for (const qd::WindowListEntry& w : windows)
        if (qd::TitleMatchesPattern(w.text, pattern)) ++n;
    return n;
}

QString matchText(int count) {
    if (count == 0) return "matches no window";
    if (count == 1) return "matches 1 window";
    return QString("matches %1 windows").arg(count);
}

namespace {

QDialogButtonBox* okCancel(QDialog* d) {
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
    QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return b;
}

} // namespace

WindowPickerDialog::WindowPickerDialog(qd::WindowTargeting& windows, QWidget* parent)
    : QDialog(parent), windows_(windows) {
    setObjectName("WindowPicker");
    setWindowTitle("Pick a Window");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("Open &windows, front to back:", this);
    list_ = new QListWidget(this);
    list_->setObjectName("Windows");
    list_->setAccessibleName("Open windows");
    label->setBuddy(list_);
    layout->addWidget(label);
    layout->addWidget(list_, 1);
    auto* row = new QHBoxLayout;
    auto* refresh = new QPushButton("&Refresh", this);
    refresh->setAccessibleName("Refresh");
    row->addWidget(refresh);
    row->addStretch(1);
    QDialogButtonBox* buttons = okCancel(this);
    row->addWidget(buttons);
    layout->addLayout(row);
    connect(refresh, &QPushButton::clicked, this, &WindowPickerDialog::reload);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(520, 360);
    reload();
}

void WindowPickerDialog::reload() {
    shown_ = windows_.ListWindows();
    list_->clear();
    for (const qd::WindowListEntry& w : shown_) {
        auto* item = new QListWidgetItem(q(w.text) + "    [" + q(w.className) + "]", list_);
        item->setToolTip(q(w.text));
    }
    if (!shown_.empty()) list_->setCurrentRow(0);
}

std::string WindowPickerDialog::chosenTitle() const {
    const int row = list_->currentRow();
    return row >= 0 && row < static_cast<int>(shown_.size()) ? shown_[static_cast<std::size_t>(row)].text
                                                             : std::string();
}

qd::WindowHandle WindowPickerDialog::chosenHandle() const {
    const int row = list_->currentRow();
    return row >= 0 && row < static_cast<int>(shown_.size()) ? shown_[static_cast<std::size_t>(row)].handle
                                                             : 0;
}

ChildPickerDialog::ChildPickerDialog(qd::WindowTargeting& windows, qd::WindowHandle window,
                                     const QString& title, QWidget* parent)
    : QDialog(parent) {
    setObjectName("ChildPicker");
    setWindowTitle("Pick a Control Text");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("&Texts of the controls of \"" + title + "\":", this);
    list_ = new QListWidget(this);
    list_->setObjectName("Children");
    list_->setAccessibleName("Control texts");
    label->setBuddy(list_);
    layout->addWidget(label);
    layout->addWidget(list_, 1);
    layout->addWidget(okCancel(this));
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    if (window != 0) shown_ = windows.ListChildWindows(window);
    for (const qd::ChildListEntry& c : shown_)
        new QListWidgetItem(q(c.text) + "    [" + q(c.className) + "]", list_);
    if (shown_.empty()) {
        auto* none = new QListWidgetItem("(no control of this window shows a text)", list_);
        none->setFlags(Qt::NoItemFlags);
    } else {
        list_->setCurrentRow(0);
    }
    resize(480, 320);
}

std::string ChildPickerDialog::chosenText() const {
    const int row = list_->currentRow();
    return row >= 0 && row < static_cast<int>(shown_.size()) ? shown_[static_cast<std::size_t>(row)].text
                                                             : std::string();
}

PointerDisplay::PointerDisplay(qd::WindowTargeting& windows, QWidget* parent)
    : QGroupBox("Under the mouse pointer", parent), windows_(windows) {
    setObjectName("PointerDisplay");
    auto* form = new QFormLayout(this);
    const char* labels[] = {"Window title:", "Window class:", "Control text:", "Control class:"};
    const char* names[] = {"PointerTitle", "PointerClass", "PointerControl", "PointerControlClass"};
    for (int i = 0; i < 4; ++i) {
        fields_[i] = new QLineEdit(this);
        fields_[i]->setReadOnly(true);
        fields_[i]->setObjectName(names[i]);
        fields_[i]->setAccessibleName(QString(labels[i]).chopped(1));
        form->addRow(labels[i], fields_[i]);
    }
    auto* use = new QPushButton("&Use this window", this);
    use->setObjectName("UsePointerWindow");
    use->setAccessibleName("Use this window");
    form->addRow(QString(), use);
    connect(use, &QPushButton::clicked, this, [this] {
        if (!fields_[0]->text().isEmpty()) emit useTitle(fields_[0]->text());
    });
    timer_ = new QTimer(this);
    timer_->setInterval(250);
    connect(timer_, &QTimer::timeout, this, &PointerDisplay::sample);
    timer_->start();
}

void PointerDisplay::sample() {
    const qd::PointerTarget t = windows_.windowSystem().pointerTarget();
    if (t.window == last_.window && t.control == last_.control) return;
    last_ = t;
    QString texts[4];
    if (t.window != 0) {
        texts[0] = q(windows_.windowSystem().windowText(t.window));
        std::vector<qd::TopLevelWindow> all;
        windows_.windowSystem().topLevelWindows(all);
        for (const qd::TopLevelWindow& w : all)
            if (w.handle == t.window) texts[1] = q(w.className);
        if (t.control != 0)
            for (const qd::ChildWindow& c : windows_.windowSystem().childWindows(t.window))
                if (c.handle == t.control) {
                    texts[2] = q(c.text);
                    texts[3] = q(c.className);
                    break;
                }
    }
    for (int i = 0; i < 4; ++i)
        if (fields_[i]->text() != texts[i]) fields_[i]->setText(texts[i]);
}

} // namespace qdscriptui
