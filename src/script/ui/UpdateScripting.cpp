#include "script/ui/UpdateScripting.h"

#include "data/Text.h"
#include "script/Templates.h"
#include "script/ui/WindowPickers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

namespace qdscriptui {

namespace {

using R = qd::ScriptingRecord;

// The stored width of a text field.
int widthOf(const qd::StepField& f) {
    if (f.text == &R::DDEType) return static_cast<int>(R::Width::DDEType);
    if (f.text == &R::WindowExistance) return static_cast<int>(R::Width::WindowExistance);
    if (f.text == &R::IfTimeElapsed) return static_cast<int>(R::Width::IfTimeElapsed);
    if (f.text == &R::DDELinkItem) return static_cast<int>(R::Width::DDELinkItem);
    return static_cast<int>(R::Width::Command);
}

QString objectNameOf(const QString& prompt) {
    QString n;
    for (const QChar c : prompt)
        if (c.isLetterOrNumber()) n += c;
    return n;
}

struct Choice {
    const char* text;
    char code;
};
const Choice kPriorities[] = {{"Normal", '2'}, {"Low", '1'}, {"High", '3'}};
const Choice kShows[] = {{"Normal, with focus", '1'},
                         {"Minimized, with focus", '2'},
                         {"Maximized, with focus", '3'},
                         {"Minimized, without focus", '7'},
                         {"Normal, without focus", '8'}};

template <std::size_t N> void fillChoices(QComboBox* box, const Choice (&choices)[N], char current) {
    for (const Choice& c : choices) {
        box->addItem(c.text, QChar::fromLatin1(c.code));
        if (c.code == current) box->setCurrentIndex(box->count() - 1);
    }
}

template <std::size_t N> char codeOf(QComboBox* box, const Choice (&choices)[N]) {
    const int i = box->currentIndex();
    return i >= 0 && i < static_cast<int>(N) ? choices[i].code : choices[0].code;
}

} // namespace

// ---------------------------------------------------------------------------

KeyPickerDialog::KeyPickerDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("KeyPicker");
    setWindowTitle("Key Names");
    auto* layout = new QVBoxLayout(this);
    auto* mods = new QHBoxLayout;
    const char* texts[] = {"&Shift", "&Ctrl", "&Alt"};
    for (int i = 0; i < 3; ++i) {
        modifiers_[i] = new QCheckBox(texts[i], this);
        modifiers_[i]->setAccessibleName(QString(texts[i]).remove('&'));
        mods->addWidget(modifiers_[i]);
    }
    mods->addStretch(1);
    layout->addLayout(mods);
    auto* label = new QLabel("&Key:", this);
    list_ = new QListWidget(this);
    list_->setObjectName("KeyNames");
    list_->setAccessibleName("Key");
    label->setBuddy(list_);
    for (const std::string& n : qd::KeyPickerNames())
        list_->addItem(q(n));
    list_->setCurrentRow(0);
    layout->addWidget(label);
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(280, 380);
}

QString KeyPickerDialog::bracketed() const {
    if (!list_->currentItem()) return {};
    QString s = "[";
    for (int i = 0; i < 3; ++i)
        if (modifiers_[i]->isChecked()) s += q(qd::KeyPickerModifiers()[static_cast<std::size_t>(i)]);
    return s + list_->currentItem()->text() + "]";
}

// ---------------------------------------------------------------------------

UpdateScriptingDialog::UpdateScriptingDialog(ScriptUiContext& context, const qd::StepOwner& owner,
                                             const qd::ScriptingRecord& step, bool isNew, QWidget* parent)
    : QDialog(parent), context_(context), owner_(owner), step_(step) {
    setObjectName("UpdateScripting");
    setWindowTitle(isNew ? "New Script Action" : "Edit Script Action");
    auto* layout = new QVBoxLayout(this);

    auto* top = new QFormLayout;
    action_ = new QComboBox(this);
    action_->setObjectName("Action");
    action_->setAccessibleName("Action");
    for (const std::string& name : qd::EditorActionList())
        action_->addItem(q(name));
    top->addRow("&Action:", action_);
    other_ = new QComboBox(this);
    other_->setObjectName("OtherAction");
    other_->setAccessibleName("Other action");
    other_->addItem(QString());
    for (const std::string& name : qd::OtherActionList())
        other_->addItem(q(name));
    top->addRow("Ot&her:", other_);
    layout->addLayout(top);

    formHost_ = new QWidget(this);
    formHost_->setObjectName("Fields");
    form_ = new QFormLayout(formHost_);
    form_->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(formHost_);

    preview_ = new QLabel(this);
    preview_->setObjectName("KeysPreview");
    preview_->setAccessibleName("How the keys are sent");
    preview_->setWordWrap(true);
    preview_->setTextFormat(Qt::PlainText);
    layout->addWidget(preview_);

    if (context_.windows) {
        pointer_ = new PointerDisplay(*context_.windows, this);
        layout->addWidget(pointer_);
        connect(pointer_, &PointerDisplay::useTitle, this, [this](const QString& title) {
            if (QLineEdit* w = windowLine()) w->setText(title);
        });
        windowTimer_ = new QTimer(this);
        windowTimer_->setInterval(2000);
        connect(windowTimer_, &QTimer::timeout, this, &UpdateScriptingDialog::refreshWindows);
    }

    help_ = new QLabel(this);
    help_->setObjectName("Help");
    help_->setAccessibleName("Help");
    help_->setWordWrap(true);
    help_->setTextFormat(Qt::PlainText);
    help_->setFrameShape(QFrame::StyledPanel);
    help_->setMargin(6);
    layout->addWidget(help_);
    layout->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("&OK");
    buttons->button(QDialogButtonBox::Cancel)->setText("&Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &UpdateScriptingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // The lists show the stored action; a new step starts as keystrokes.
    if (qd::text::trimRight(step_.Action).empty()) step_.Action = std::string(qd::action::SendKeys);
    const qd::EditorAction* e = qd::FindEditorAction(step_.Action);
    {
        building_ = true;
        if (e && e->underOther) {
            action_->setCurrentText(q(std::string(qd::kOtherAction)));
            other_->setCurrentText(q(std::string(e->name)));
        } else if (e) {
            action_->setCurrentText(q(std::string(e->name)));
        } else {
            // An action the editor does not offer (a keyword stored as written).
            const QString stored = q(qd::text::trimmedRight(step_.Action));
            if (action_->findText(stored) < 0) action_->addItem(stored);
            action_->setCurrentText(stored);
        }
        building_ = false;
    }
    connect(action_, &QComboBox::currentTextChanged, this, &UpdateScriptingDialog::actionChosen);
    connect(other_, &QComboBox::currentTextChanged, this, &UpdateScriptingDialog::actionChosen);
    if (context_.windows) refreshWindows();
    rebuild();
    resize(560, 520);
}

UpdateScriptingDialog::~UpdateScriptingDialog() = default;

void UpdateScriptingDialog::chooseAction(const QString& name, const QString& other) {
    if (!other.isEmpty()) {
        const QSignalBlocker quiet(other_);
        other_->setCurrentText(other);
    }
    if (action_->currentText() == name)
        actionChosen();
    else
        action_->setCurrentText(name);
}

void UpdateScriptingDialog::actionChosen() {
    if (building_) return;
    collect();
    const QString main = action_->currentText();
    const bool isOther = main == q(std::string(qd::kOtherAction));
    const QString name = isOther ? (other_->currentText().isEmpty() ? main : other_->currentText()) : main;
    step_.Action = s(name);
    qd::ApplyActionDefaults(step_);
    rebuild();
}

void UpdateScriptingDialog::rebuild() {
    building_ = true;
    matches_ = nullptr; // goes with the rows
    while (form_->rowCount() > 0)
        form_->removeRow(0);
    fields_.clear();
    const bool isOther = action_->currentText() == q(std::string(qd::kOtherAction));
    other_->setEnabled(isOther);
    if (!isOther) {
        const QSignalBlocker quiet(other_);
        other_->setCurrentIndex(0);
    }
    const qd::EditorAction* e = qd::FindEditorAction(step_.Action);
    if (e)
        for (const qd::EditorField& f : e->fields)
            addField(f);
    help_->setText(e         ? q(std::string(e->help))
                   : isOther ? QString("Choose the action in the second list.")
                             : QString("This action is not known to the program; choose another one."));
    const bool windowStep =
        e && (e->action == qd::StepAction::SetFocus || e->action == qd::StepAction::IfWindow);
    if (pointer_) pointer_->setVisible(windowStep);
    if (windowTimer_) {
        if (windowLine())
            windowTimer_->start();
        else
            windowTimer_->stop();
    }
    building_ = false;
    updatePreview();
    updateMatches();
}

QWidget* UpdateScriptingDialog::withButton(QLineEdit* line, const QString& text, const QString& name,
                                           const std::function<void()>& fn) {
    auto* host = new QWidget(formHost_);
    auto* row = new QHBoxLayout(host);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(line, 1);
    auto* b = new QToolButton(host);
    b->setText(text);
    b->setObjectName(name);
    b->setAccessibleName(QString(text).remove('&').remove("..."));
    row->addWidget(b);
    connect(b, &QToolButton::clicked, this, fn);
    return host;
}

void UpdateScriptingDialog::addField(const qd::EditorField& f) {
    using K = qd::FieldKind;
    FieldWidget w;
    w.field = &f;
    const QString prompt = q(qd::PromptOf(f.label));
    const QString value = q(f.field.get(step_));
    QWidget* shown = nullptr;
    switch (f.kind) {
    case K::Choice: {
        w.combo = new QComboBox(formHost_);
        w.combo->setEditable(f.editable);
        for (const std::string_view c : f.choices)
            w.combo->addItem(q(std::string(c)));
        const QString current = q(qd::text::trimmedRight(s(value)));
        if (w.combo->findText(current) < 0 && !current.isEmpty()) w.combo->addItem(current);
        w.combo->setCurrentText(current);
        w.widget = shown = w.combo;
        break;
    }
    case K::Flag:
        w.check = new QCheckBox(q(std::string(f.label)), formHost_);
        w.check->setChecked(value.toInt() != 0);
        w.widget = shown = w.check;
        break;
    case K::Message:
        w.text = new QPlainTextEdit(formHost_);
        w.text->setPlainText(value);
        w.text->setFixedHeight(72);
        w.widget = shown = w.text;
        break;
    case K::StartOptions: {
        const qd::StartOptions o = qd::ReadStartOptions(s(value));
        auto* host = new QWidget(formHost_);
        auto* grid = new QFormLayout(host);
        grid->setContentsMargins(0, 0, 0, 0);
        w.wait = new QCheckBox("&Wait for the program to end", host);
        w.wait->setObjectName("WaitForEnd");
        w.wait->setChecked(o.wait);
        w.priority = new QComboBox(host);
        w.priority->setObjectName("Priority");
        w.priority->setAccessibleName("Priority");
        fillChoices(w.priority, kPriorities, o.priority);
        w.show = new QComboBox(host);
        w.show->setObjectName("ShowMode");
        w.show->setAccessibleName("Window");
        fillChoices(w.show, kShows, o.show);
        w.translate = new QCheckBox("T&ranslate variables", host);
        w.translate->setObjectName("Translate");
        w.translate->setChecked(o.translate);
        grid->addRow(w.wait);
        grid->addRow("Priorit&y:", w.priority);
        grid->addRow("Wi&ndow:", w.show);
        grid->addRow(w.translate);
        w.widget = shown = host;
        break;
    }
    default: {
        w.line = new QLineEdit(value, formHost_);
        w.line->setMaxLength(f.field.number ? 11 : widthOf(f.field));
        if (f.field.number) w.line->setValidator(new QIntValidator(0, INT_MAX, w.line));
        QLineEdit* line = w.line;
        switch (f.kind) {
        case K::Keys:
            shown = withButton(line, "&Keys...", "PickKeys", [this, line] { pickKeys(line); });
            connect(line, &QLineEdit::textChanged, this, &UpdateScriptingDialog::updatePreview);
            break;
        case K::Window: {
            auto* host = new QWidget(formHost_);
            auto* col = new QVBoxLayout(host);
            col->setContentsMargins(0, 0, 0, 0);
            col->addWidget(withButton(line, "&Pick...", "PickWindow", [this, line] { pickWindow(line); }));
            matches_ = new QLabel(host);
            matches_->setObjectName("MatchCount");
            matches_->setAccessibleName("Matching windows");
            col->addWidget(matches_);
            connect(line, &QLineEdit::textChanged, this, &UpdateScriptingDialog::updateMatches);
            shown = host;
            break;
        }
        case K::Child:
            shown = withButton(line, "P&ick...", "PickChild", [this, line] { pickChild(line); });
            break;
        case K::StoredMessage: {
            shown = withButton(line, "&Select...", "PickMessage", [this, line] { pickMessage(line); });
            if (!context_.pickMessage) shown->findChild<QToolButton*>("PickMessage")->setEnabled(false);
            break;
        }
        case K::File:
        case K::ScriptFile:
        case K::Program:
        case K::Folder: {
            const K kind = f.kind;
            shown = withButton(line, "...", "Browse" + objectNameOf(prompt),
                               [this, line, kind] { pickFile(line, kind); });
            break;
        }
        default:
            shown = line;
            break;
        }
        w.widget = line;
        break;
    }
    }
    w.widget->setObjectName(objectNameOf(prompt));
    w.widget->setAccessibleName(prompt);
    if (f.kind == K::Flag || f.kind == K::StartOptions)
        form_->addRow(f.kind == K::Flag ? QString() : q(std::string(f.label)), shown);
    else {
        auto* label = new QLabel(q(std::string(f.label)), formHost_);
        label->setBuddy(w.widget);
        form_->addRow(label, shown);
    }
    fields_.push_back(w);
}

void UpdateScriptingDialog::collect() {
    for (const FieldWidget& w : fields_) {
        const qd::StepField& f = w.field->field;
        if (w.combo)
            f.set(step_, s(w.combo->currentText()));
        else if (w.check)
            f.set(step_, w.check->isChecked() ? "1" : "0");
        else if (w.text)
            f.set(step_, s(w.text->toPlainText()));
        else if (w.wait) {
            qd::StartOptions o;
            o.wait = w.wait->isChecked();
            o.priority = codeOf(w.priority, kPriorities);
            o.show = codeOf(w.show, kShows);
            o.translate = w.translate->isChecked();
            f.set(step_, qd::WriteStartOptions(o));
        } else if (w.line)
            f.set(step_, s(w.line->text()));
    }
}

qd::ScriptingRecord UpdateScriptingDialog::step() {
    collect();
    return step_;
}

const UpdateScriptingDialog::FieldWidget* UpdateScriptingDialog::find(const QString& prompt) const {
    for (const FieldWidget& w : fields_)
        if (q(qd::PromptOf(w.field->label)) == prompt) return &w;
    return nullptr;
}

QWidget* UpdateScriptingDialog::field(const QString& prompt) const {
    const FieldWidget* w = find(prompt);
    return w ? w->widget : nullptr;
}

void UpdateScriptingDialog::setField(const QString& prompt, const QString& value) {
    const FieldWidget* w = find(prompt);
    if (!w) return;
    if (w->combo)
        w->combo->setCurrentText(value);
    else if (w->check)
        w->check->setChecked(value.toInt() != 0);
    else if (w->text)
        w->text->setPlainText(value);
    else if (w->wait) {
        const qd::StartOptions o = qd::ReadStartOptions(s(value));
        w->wait->setChecked(o.wait);
        for (int i = 0; i < w->priority->count(); ++i)
            if (w->priority->itemData(i).toChar() == QChar::fromLatin1(o.priority))
                w->priority->setCurrentIndex(i);
        for (int i = 0; i < w->show->count(); ++i)
            if (w->show->itemData(i).toChar() == QChar::fromLatin1(o.show)) w->show->setCurrentIndex(i);
        w->translate->setChecked(o.translate);
    } else if (w->line)
        w->line->setText(value);
}

QString UpdateScriptingDialog::help() const {
    return help_->text();
}

QLineEdit* UpdateScriptingDialog::windowLine() const {
    for (const FieldWidget& w : fields_)
        if (w.field->kind == qd::FieldKind::Window) return w.line;
    return nullptr;
}

void UpdateScriptingDialog::refreshWindows() {
    if (!context_.windows) return;
    openWindows_ = context_.windows->ListWindows();
    updateMatches();
}

void UpdateScriptingDialog::updateMatches() {
    if (building_ || !matches_) return;
    QLineEdit* line = windowLine();
    if (!line) return;
    const std::string pattern = s(line->text());
    if (!context_.windows)
        matches_->setText("(no desktop to test the pattern on)");
    else if (pattern.empty())
        matches_->setText(QString());
    else
        matches_->setText(matchText(countMatches(openWindows_, pattern)));
}

void UpdateScriptingDialog::updatePreview() {
    if (building_) return;
    for (const FieldWidget& w : fields_)
        if (w.field->kind == qd::FieldKind::Keys && w.line) {
            const auto lines = qd::KeystrokePreview(s(w.line->text()), context_.settings.BurstSize);
            QStringList shown;
            for (const std::string& l : lines)
                shown << q(l);
            if (shown.size() > 12) {
                const int more = static_cast<int>(shown.size()) - 12;
                shown = shown.mid(0, 12);
                shown << QString("... and %1 more").arg(more);
            }
            preview_->setText(shown.isEmpty() ? QString() : "Sent as:\n" + shown.join("\n"));
            preview_->show();
            return;
        }
    preview_->clear();
    preview_->hide();
}

void UpdateScriptingDialog::pickKeys(QLineEdit* line) {
    KeyPickerDialog d(this);
    if (context_.ui.runDialog(d) != QDialog::Accepted) return;
    const QString key = d.bracketed();
    if (key.isEmpty()) return;
    const int max = line->maxLength();
    if (line->text().size() + key.size() > max) {
        context_.ui.message("Keystrokes",
                            "The keystrokes would be longer than " + std::to_string(max) +
                                " characters; add another Send Keys step.",
                            qd::MessageIcon::Exclamation);
        return;
    }
    line->insert(key);
    line->setFocus();
}

void UpdateScriptingDialog::pickWindow(QLineEdit* line) {
    if (!context_.windows) return;
    WindowPickerDialog d(*context_.windows, this);
    if (context_.ui.runDialog(d) != QDialog::Accepted) return;
    const std::string title = d.chosenTitle();
    if (!title.empty()) line->setText(q(title));
    refreshWindows();
}

void UpdateScriptingDialog::pickChild(QLineEdit* line) {
    if (!context_.windows) return;
    QLineEdit* window = windowLine();
    const std::string pattern = window ? s(window->text()) : std::string();
    const qd::WindowHandle found =
        pattern.empty() ? 0 : context_.windows->FindWindowByPattern(pattern, std::string_view());
    if (found == 0) {
        context_.ui.message("Containing", "No open window matches the window pattern.",
                            qd::MessageIcon::Exclamation);
        return;
    }
    ChildPickerDialog d(*context_.windows, found, q(context_.windows->windowSystem().windowText(found)),
                        this);
    if (context_.ui.runDialog(d) != QDialog::Accepted) return;
    const std::string text = d.chosenText();
    if (!text.empty()) line->setText(q(text));
}

void UpdateScriptingDialog::pickMessage(QLineEdit* line) {
    if (!context_.pickMessage) return;
    const std::optional<PickedMessage> m = context_.pickMessage(this);
    if (!m) return;
    line->setText(QString::number(m->emailId));
    // The step shows the message by its subject and recipient.
    setField("Subject", q(m->title));
}

void UpdateScriptingDialog::pickFile(QLineEdit* line, qd::FieldKind kind) {
    using K = qd::FieldKind;
    if (kind == K::Folder) {
        if (const auto folder = context_.ui.chooseFolder("Choose a Folder", s(line->text())))
            line->setText(q(*folder));
        return;
    }
    qd::PromptRequest r;
    r.kind = qd::PromptKind::File;
    r.title = kind == K::Program ? "Choose a Program" : "Choose a File";
    r.initial = s(line->text());
    r.filter = kind == K::ScriptFile ? "QD Script Files|*.qds" : "All Files|*.*";
    const auto chosen = context_.ui.prompt(r);
    if (!chosen) return;
    line->setText(q(*chosen));
    if (kind == K::Program)
        for (const FieldWidget& w : fields_)
            if (w.field->kind == K::Folder && w.line && w.line->text().trimmed().isEmpty())
                w.line->setText(q(qd::FolderOfCommand(*chosen)));
}

void UpdateScriptingDialog::accept() {
    collect();
    step_.ID = owner_.id;
    const qd::StepCheck c = qd::CheckStepForSave(step_, owner_.id);
    if (!c.ok) {
        context_.ui.message(c.title, c.text, qd::MessageIcon::Exclamation);
        if (QWidget* w = field(q(c.field))) w->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace qdscriptui
