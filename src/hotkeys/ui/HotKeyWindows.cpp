#include "hotkeys/ui/HotKeyWindows.h"

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "data/TextWidth.h"
#include "hotkeys/HotKeyNames.h"
#include "ui/QtUserInterface.h"
#include "ui/WindowParts.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <string_view>

namespace qdhotkeyui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QCheckBox* box(QWidget* owner, const char* name, const QString& text) {
    auto* b = new QCheckBox(text, owner);
    b->setObjectName(name);
    b->setAccessibleName(QString(text).remove('&'));
    return b;
}

} // namespace

std::string hotKeyNameForQtKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return "Pad" + std::to_string(key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Asterisk:
            return "Ast";
        case Qt::Key_Plus:
            return "Plus";
        case Qt::Key_Minus:
            return "Minus";
        case Qt::Key_Slash:
            return "Slash";
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return "Decimal";
        case Qt::Key_Enter:
            return "Enter";
        default:
            break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return std::string(1, static_cast<char>('A' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return std::string(1, static_cast<char>('0' + (key - Qt::Key_0)));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return "F" + std::to_string(key - Qt::Key_F1 + 1);
    switch (key) {
    case Qt::Key_Backspace:
        return "Backspace";
    case Qt::Key_CapsLock:
        return "Caps";
    case Qt::Key_Delete:
        return "Delete";
    case Qt::Key_Down:
        return "Down";
    case Qt::Key_End:
        return "End";
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return "Enter";
    case Qt::Key_Escape:
        return "Esc";
    case Qt::Key_Home:
        return "Home";
    case Qt::Key_Insert:
        return "Insert";
    case Qt::Key_Left:
        return "Left";
    case Qt::Key_Pause:
        return "Pause";
    case Qt::Key_PageDown:
        return "PgDn";
    case Qt::Key_PageUp:
        return "PgUp";
    case Qt::Key_Print:
        return "Print";
    case Qt::Key_Right:
        return "Right";
    case Qt::Key_Space:
        return "Space";
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return "Tab";
    case Qt::Key_Up:
        return "Up";
    case Qt::Key_Asterisk:
        return "Ast";
    case Qt::Key_Plus:
        return "Plus";
    case Qt::Key_Minus:
        return "Minus";
    case Qt::Key_Slash:
        return "Slash";
    default:
        return {};
    }
}

KeyCaptureEdit::KeyCaptureEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setPlaceholderText("Click here and press the combination");
}

void KeyCaptureEdit::keyPressEvent(QKeyEvent* event) {
    const std::string name =
        hotKeyNameForQtKey(event->key(), event->modifiers().testFlag(Qt::KeypadModifier));
    if (name.empty()) {
        event->accept(); // a modifier alone: wait for the key
        return;
    }
    const auto m = event->modifiers();
    const bool win = m.testFlag(Qt::MetaModifier), ctrl = m.testFlag(Qt::ControlModifier),
               alt = m.testFlag(Qt::AltModifier), shift = m.testFlag(Qt::ShiftModifier);
    setText(q(qd::composeHotKey(win, ctrl, alt, shift, name)));
    event->accept();
    emit captured(win, ctrl, alt, shift, q(name));
}

// ---- saving

bool saveHotKey(qd::DataSet& ds, const std::string& original, qd::SysHotKeysRecord& record) {
    qd::Table<qd::SysHotKeysRecord> t(ds, qd::tables::SysHotKeys());
    if (t.open() != qd::Level::Benign) return false;
    if (qd::text::trim(record.Description).empty())
        record.Description = qd::text::trimmedRight(record.HotKey);
    record.QuickText = qd::hotKeyQuickText(record);
    if (!original.empty()) {
        t.rec.HotKey = original;
        if (t.fetch("K_HotKey") != qd::Level::Benign) return false;
        t.rec = record;
        return t.update(7) == qd::Level::Benign;
    }
    t.rec = record;
    return t.insert() == qd::Level::Benign;
}

// ---- the form

HotKeyForm::HotKeyForm(HotKeyUiContext& context, const qd::SysHotKeysRecord& record, bool inserting,
                       QWidget* parent)
    : QDialog(parent), context_(context), record_(record), inserting_(inserting) {
    setObjectName("UpdateHotKeys");
    setWindowTitle(inserting ? "New Hot Key" : "Change Hot Key");
    auto* layout = new QVBoxLayout(this);

    auto* keys = new QGroupBox("Key combination", this);
    auto* keysLayout = new QVBoxLayout(keys);
    auto* boxes = new QHBoxLayout;
    win_ = box(keys, "Windows", "&Windows");
    ctrl_ = box(keys, "Ctrl", "C&trl");
    alt_ = box(keys, "Alt", "A&lt");
    shift_ = box(keys, "Shift", "S&hift");
    for (QCheckBox* b : {win_, ctrl_, alt_, shift_})
        boxes->addWidget(b);
    key_ = new QComboBox(keys);
    key_->setObjectName("KeyName");
    key_->setAccessibleName("Key");
    key_->setEditable(true);
    for (const auto& n : qd::hotKeyNames())
        if (std::string_view(n.name).substr(0, 5) != "Mouse") key_->addItem(n.name);
    auto* keyLabel = new QLabel("&Key:", keys);
    keyLabel->setBuddy(key_);
    boxes->addWidget(keyLabel);
    boxes->addWidget(key_, 1);
    keysLayout->addLayout(boxes);
    auto* captureRow = new QHBoxLayout;
    auto* captureLabel = new QLabel("&Press it:", keys);
    capture_ = new KeyCaptureEdit(keys);
    capture_->setObjectName("Capture");
    capture_->setAccessibleName("Press the combination");
    captureLabel->setBuddy(capture_);
    captureRow->addWidget(captureLabel);
    captureRow->addWidget(capture_, 1);
    keysLayout->addLayout(captureRow);
    warning_ = new QLabel(keys);
    warning_->setObjectName("Warning");
    warning_->setStyleSheet("color: #b00000");
    warning_->setWordWrap(true);
    keysLayout->addWidget(warning_);
    layout->addWidget(keys);

    auto* form = new QFormLayout;
    active_ = box(this, "Active", "A&ctive");
    active_->setChecked(inserting || record.Active == 1);
    form->addRow(QString(), active_);
    description_ = new QLineEdit(q(record.Description), this);
    description_->setObjectName("Description");
    description_->setAccessibleName("Description or Title of Task");
    description_->setMaxLength(40);
    form->addRow("&Description:", description_);
    action_ = new QComboBox(this);
    action_->setObjectName("Action");
    action_->setAccessibleName("Action");
    action_->addItems({"Task", "Text"});
    form->addRow("A&ction:", action_);
    layout->addLayout(form);

    taskRow_ = new QWidget(this);
    auto* taskLayout = new QHBoxLayout(taskRow_);
    taskLayout->setContentsMargins(0, 0, 0, 0);
    taskButton_ = new QPushButton("&Script Task...", taskRow_);
    taskButton_->setObjectName("Task");
    taskButton_->setAccessibleName("Script Task");
    taskLabel_ = new QLabel(taskRow_);
    taskLayout->addWidget(taskButton_);
    taskLayout->addWidget(taskLabel_, 1);
    layout->addWidget(taskRow_);

    textRow_ = new QWidget(this);
    auto* textLayout = new QFormLayout(textRow_);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textType_ = new QComboBox(textRow_);
    textType_->setObjectName("TextType");
    textType_->setAccessibleName("Text automation");
    textType_->addItems({"TYPE", "PASTE", "COPY"});
    textLayout->addRow("&Automation:", textType_);
    text_ = new QPlainTextEdit(q(record.Text), textRow_);
    text_->setObjectName("Text");
    text_->setAccessibleName("Text");
    textLayout->addRow("Te&xt:", text_);
    layout->addWidget(textRow_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &HotKeyForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HotKeyForm::reject);
    layout->addWidget(buttons);

    // Opening an existing record splits the combination back into the boxes.
    const qd::SplitHotKey split = qd::splitHotKey(record.HotKey);
    win_->setChecked(split.win);
    ctrl_->setChecked(split.ctrl);
    alt_->setChecked(split.alt);
    shift_->setChecked(split.shift);
    key_->setCurrentText(q(split.keyName));
    const std::string action = qd::text::upperAscii(qd::text::trim(record.Action));
    action_->setCurrentIndex(action == "TEXT" || (inserting && action.empty()) ? 1 : 0);
    const int type = textType_->findText(q(qd::text::upperAscii(qd::text::trim(record.TextType))));
    textType_->setCurrentIndex(type >= 0 ? type : 0);

    for (QCheckBox* b : {win_, ctrl_, alt_, shift_})
        connect(b, &QCheckBox::toggled, this, [this] { combinationChanged(); });
    connect(key_, &QComboBox::currentTextChanged, this, [this] { combinationChanged(); });
    connect(capture_, &KeyCaptureEdit::captured, this,
            [this](bool win, bool ctrl, bool alt, bool shift, const QString& name) {
                const QSignalBlocker blockers[] = {QSignalBlocker(win_), QSignalBlocker(ctrl_),
                                                   QSignalBlocker(alt_), QSignalBlocker(shift_),
                                                   QSignalBlocker(key_)};
                win_->setChecked(win);
                ctrl_->setChecked(ctrl);
                alt_->setChecked(alt);
                shift_->setChecked(shift);
                key_->setCurrentText(name);
                combinationChanged();
            });
    connect(action_, &QComboBox::currentIndexChanged, this, [this] { actionChanged(); });
    connect(taskButton_, &QPushButton::clicked, this, [this] { taskPressed(); });
    combinationChanged();
    actionChanged();
    resize(480, 440);
}

std::string HotKeyForm::combination() const {
    return qd::composeHotKey(win_->isChecked(), ctrl_->isChecked(), alt_->isChecked(), shift_->isChecked(),
                             key_->currentText().toStdString());
}

void HotKeyForm::combinationChanged() {
    const std::string text = combination();
    capture_->setText(q(text));
    const int code = qd::TrnKeyName(text);
    warning_->clear();
    if (key_->currentText().trimmed().isEmpty()) return;
    if (code == 0 || qd::hotKeyVirtualKey(code) == 0) {
        warning_->setText("There is no key of that name.");
        return;
    }
    if (!context_.system) return;
    // Ours already (this record as stored, or another hot key's) is not "another program".
    if (context_.service)
        for (const auto& e : context_.service->component().registered())
            if (e.code == code && e.status == qd::HotKeyStatus::Ok) return;
    const unsigned modifiers = static_cast<unsigned>(qd::hotKeyModifiers(code)) >> 8;
    if (context_.system->probe(modifiers, qd::hotKeyVirtualKey(code)) == qd::HotKeyStatus::Refused)
        warning_->setText(
            "Another program already uses this combination: it will not work while that program "
            "holds it.");
}

void HotKeyForm::actionChanged() {
    const bool task = action_->currentIndex() == 0;
    taskRow_->setVisible(task);
    textRow_->setVisible(!task);
    if (task)
        taskLabel_->setText(record_.ID != 0 ? QString("Task %1").arg(record_.ID) : QString("No task yet"));
}

void HotKeyForm::taskPressed() {
    if (!context_.editScript) return;
    const int id = context_.editScript(record_.ID, combination());
    if (id != 0) record_.ID = id;
    actionChanged();
}

void HotKeyForm::accept() {
    if (key_->currentText().trimmed().isEmpty()) {
        context_.ui.message("Missing Information", "Key must be entered.", qd::MessageIcon::Exclamation);
        key_->setFocus();
        return;
    }
    const std::string text = combination();
    const int code = qd::TrnKeyName(text);
    if (code == 0 || qd::hotKeyVirtualKey(code) == 0) {
        context_.ui.message("Hot Key", "There is no key named " + key_->currentText().toStdString() + ".",
                            qd::MessageIcon::Exclamation);
        key_->setFocus();
        return;
    }
    if (qd::characterCount(text) > qd::SysHotKeysRecord::Width::HotKey) {
        context_.ui.message("Hot Key", "The combination " + text + " is too long to be stored.",
                            qd::MessageIcon::Exclamation);
        return;
    }
    qd::SysHotKeysRecord r = record_;
    r.HotKey = text;
    r.Active = active_->isChecked() ? 1 : 0;
    r.Description = description_->text().toStdString();
    if (qd::text::trim(r.Description).empty()) r.Description = text;
    r.Action = action_->currentText().toStdString();
    r.TextType = r.Action == "Text" ? textType_->currentText().toStdString() : std::string();
    r.Text = r.Action == "Text" ? text_->toPlainText().toStdString() : std::string();
    if (qd::text::trim(r.Description).empty()) {
        context_.ui.message("Missing Information", "Description or Title of Task must be entered.",
                            qd::MessageIcon::Exclamation);
        description_->setFocus();
        return;
    }
    if (!saveHotKey(context_.ds, inserting_ ? std::string() : qd::text::trimmedRight(record_.HotKey), r))
        return;
    record_ = r;
    if (context_.reregister) context_.reregister();
    QDialog::accept();
}

// ---- the list

HotKeyListModel::HotKeyListModel(HotKeyUiContext& context, QObject* parent)
    : QAbstractTableModel(parent), context_(context) {
    refresh();
}

void HotKeyListModel::refresh() {
    beginResetModel();
    rows_.clear();
    if (context_.service) {
        rows_ = context_.service->states();
    } else {
        qd::Table<qd::SysHotKeysRecord> t(context_.ds, qd::tables::SysHotKeys());
        if (t.open() == qd::Level::Benign) {
            t.setOrder(t.def().findKey("K_HotKey"));
            while (t.tryNext() == qd::Level::Benign) {
                qd::HotKeyState s;
                s.record = t.rec;
                s.code = qd::TrnKeyName(qd::text::trimRight(t.rec.HotKey));
                rows_.push_back(std::move(s));
            }
        }
    }
    endResetModel();
}

int HotKeyListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int HotKeyListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant HotKeyListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const qd::HotKeyState& s = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::ForegroundRole && s.record.Active == 1 && !s.registered && context_.service)
        return QColor(176, 0, 0);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case 0:
        return q(s.record.HotKey);
    case 1:
        return s.record.Active == 1 ? "Yes" : "No";
    case 2:
        if (s.code == 0 || qd::hotKeyVirtualKey(s.code) == 0) return "Unknown key";
        if (s.record.Active != 1) return "";
        if (!context_.service) return "";
        if (s.registered) return "Registered";
        return QString("Refused: ") + qd::toString(s.status);
    case 3:
        return q(s.record.QuickText.empty() ? s.record.Description : s.record.QuickText);
    default:
        return {};
    }
}

QVariant HotKeyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* names[] = {"Hot Key", "Active", "State", "Description"};
    return section >= 0 && section < 4 ? QVariant(names[section]) : QVariant();
}

int HotKeyListModel::rowOf(const std::string& combination) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (qd::text::upperAscii(rows_[i].record.HotKey) == qd::text::upperAscii(combination))
            return static_cast<int>(i);
    return -1;
}

BrowseHotKeysWindow::BrowseHotKeysWindow(HotKeyUiContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("BrowseHotKeys");
    setWindowTitle("Hot Keys");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QHBoxLayout(this);
    model_ = new HotKeyListModel(context_, this);
    view_ = new QTableView(this);
    view_->setObjectName("HotKeys");
    view_->setAccessibleName("Hot Keys");
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->verticalHeader()->hide();
    view_->setWordWrap(false);
    view_->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    view_->setColumnWidth(0, 150);
    view_->setColumnWidth(1, 60);
    view_->setColumnWidth(2, 250);
    layout->addWidget(view_, 1);
    auto* buttons = new QVBoxLayout;
    const auto add = [&](const char* name, const char* text) {
        return qdui::namedButton(this, text, name, buttons);
    };
    connect(add("Insert", "&Insert"), &QPushButton::clicked, this, &BrowseHotKeysWindow::insertPressed);
    connect(add("Change", "&Change"), &QPushButton::clicked, this, &BrowseHotKeysWindow::changePressed);
    connect(add("Delete", "&Delete"), &QPushButton::clicked, this, &BrowseHotKeysWindow::deletePressed);
    buttons->addStretch(1);
    // "Cl&ose": Alt+C is Change's.
    connect(add("Close", "Cl&ose"), &QPushButton::clicked, this, [this] { qdui::closeWindow(this); });
    layout->addLayout(buttons);
    connect(view_, &QTableView::doubleClicked, this, [this] { changePressed(); });
    if (model_->rowCount() > 0) view_->selectRow(0);
}

int BrowseHotKeysWindow::currentRow() const {
    const QModelIndex i = view_->currentIndex();
    return i.isValid() && i.row() < model_->rowCount() ? i.row() : -1;
}

void BrowseHotKeysWindow::select(const std::string& combination) {
    const int row = model_->rowOf(combination);
    if (row >= 0) view_->selectRow(row);
}

void BrowseHotKeysWindow::refresh() {
    const int row = currentRow();
    const std::string keep = row >= 0 ? model_->hotKey(row).HotKey : std::string();
    model_->refresh();
    if (!keep.empty()) select(keep);
}

void BrowseHotKeysWindow::insertPressed() {
    qd::SysHotKeysRecord r{};
    r.Active = 1;
    r.Action = "Text";
    r.TextType = "TYPE";
    HotKeyForm form(context_, r, true, this);
    if (context_.ui.runDialog(form) != QDialog::Accepted) return;
    model_->refresh();
    select(form.record().HotKey);
}

void BrowseHotKeysWindow::changePressed() {
    const int row = currentRow();
    if (row < 0) return;
    HotKeyForm form(context_, model_->hotKey(row), false, this);
    if (context_.ui.runDialog(form) != QDialog::Accepted) return;
    model_->refresh();
    select(form.record().HotKey);
}

void BrowseHotKeysWindow::deletePressed() {
    const int row = currentRow();
    if (row < 0) return;
    qd::Table<qd::SysHotKeysRecord> t(context_.ds, qd::tables::SysHotKeys());
    if (t.open() != qd::Level::Benign) return;
    t.rec.HotKey = model_->hotKey(row).HotKey;
    if (t.fetch("K_HotKey") != qd::Level::Benign) {
        refresh();
        return;
    }
    // The linked hot-key task goes with it (the relation's cascade).
    if (qd::RelationManager(t).deleteRecord(true) != qd::Level::Benign) return;
    if (context_.reregister) context_.reregister();
    model_->refresh();
    if (model_->rowCount() > 0) view_->selectRow(std::min(row, model_->rowCount() - 1));
}

} // namespace qdhotkeyui
