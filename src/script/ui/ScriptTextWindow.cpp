#include "script/ui/ScriptTextWindow.h"

#include "data/Text.h"
#include "script/Keystrokes.h"
#include "script/ScriptText.h"
#include "script/StepActions.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

namespace qdscriptui {

namespace {

bool isOptionWord(const QString& w) {
    const QString u = w.toUpper();
    return u == "/MODAL" || u == "/TRANSLATE" || u.startsWith("WAIT=") || u.startsWith("PRIORITY=") ||
           u.startsWith("MODE=") || u.startsWith("ACTION=");
}

} // namespace

ScriptHighlighter::ScriptHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    formats_[kKeyword].setForeground(QColor(0x1a, 0x3f, 0x9a));
    formats_[kKeyword].setFontWeight(QFont::Bold);
    formats_[kUnknown].setUnderlineStyle(QTextCharFormat::WaveUnderline);
    formats_[kUnknown].setUnderlineColor(Qt::red);
    formats_[kUnknown].setForeground(QColor(0xb0, 0x00, 0x00));
    formats_[kKeyName].setForeground(QColor(0x00, 0x7a, 0x7a));
    formats_[kKeyName].setFontWeight(QFont::DemiBold);
    formats_[kVariable].setForeground(QColor(0x8a, 0x2b, 0xa8));
    formats_[kExpression].setForeground(QColor(0x2e, 0x7d, 0x32));
    formats_[kQuoted].setForeground(QColor(0x8b, 0x5a, 0x00));
    formats_[kOption].setForeground(QColor(0x60, 0x60, 0x60));
    formats_[kOption].setFontItalic(true);
}

void ScriptHighlighter::highlightBlock(const QString& text) {
    int start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    if (start >= text.size()) return;
    int end = text.indexOf(' ', start);
    if (end < 0) end = static_cast<int>(text.size());
    const QString keyword = text.mid(start, end - start);
    const qd::ActionDescriptor* d = qd::findActionByKeyword(keyword.toUpper().toStdString());
    setFormat(start, end - start, d ? formats_[kKeyword] : formats_[kUnknown]);
    const bool keys = d && d->textRule == qd::TextRule::Keys;
    // Quoted arguments and option words (not in KEYS lines, whose rest is typed as it stands).
    if (!keys) {
        int i = end;
        while (i < text.size()) {
            if (text[i] == '"') {
                int close = text.indexOf('"', i + 1);
                while (close >= 0 && close + 1 < text.size() && text[close + 1] == '"')
                    close = text.indexOf('"', close + 2);
                if (close < 0) close = static_cast<int>(text.size()) - 1;
                setFormat(i, close - i + 1, formats_[kQuoted]);
                i = close + 1;
                continue;
            }
            if (text[i] != ' ' && text[i] != ',') {
                int wordEnd = i;
                while (wordEnd < text.size() && text[wordEnd] != ' ' && text[wordEnd] != ',')
                    ++wordEnd;
                if (isOptionWord(text.mid(i, wordEnd - i))) setFormat(i, wordEnd - i, formats_[kOption]);
                i = wordEnd;
                continue;
            }
            ++i;
        }
    }
    // Bracketed names: keys, "[=" expressions, and variables.
    for (int open = text.indexOf('[', end); open >= 0; open = text.indexOf('[', open + 1)) {
        const int close = text.indexOf(']', open + 1);
        if (close < 0) break;
        const QString name = text.mid(open + 1, close - open - 1);
        Kind k = kVariable;
        if (name.startsWith('='))
            k = kExpression;
        else if (keys && qd::KeyNameToCode(name.toStdString()) != 0)
            k = kKeyName;
        setFormat(open, close - open + 1, formats_[k]);
        open = close;
    }
}

// ---------------------------------------------------------------------------

SearchReplaceDialog::SearchReplaceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("SearchAndReplace");
    setWindowTitle("Search and Replace");
    auto* form = new QFormLayout(this);
    find_ = new QLineEdit(this);
    find_->setObjectName("Find");
    find_->setAccessibleName("Find");
    replace_ = new QLineEdit(this);
    replace_->setObjectName("Replace");
    replace_->setAccessibleName("Replace with");
    case_ = new QCheckBox("&Match case", this);
    case_->setObjectName("MatchCase");
    form->addRow("&Find:", find_);
    form->addRow("Replace &with:", replace_);
    form->addRow(case_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* all = buttons->addButton("Replace &All", QDialogButtonBox::AcceptRole);
    all->setObjectName("ReplaceAll");
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

int replaceAll(QPlainTextEdit* edit, const QString& find, const QString& replacement, bool matchCase) {
    if (find.isEmpty()) return 0;
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    QString text = edit->toPlainText();
    const int n = static_cast<int>(text.count(find, cs));
    if (n == 0) return 0;
    text.replace(find, replacement, cs);
    QTextCursor c(edit->document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.insertText(text);
    c.endEditBlock();
    return n;
}

// ---------------------------------------------------------------------------

ScriptReferenceWindow::ScriptReferenceWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("ScriptReference");
    setWindowTitle("Script Reference");
    auto* layout = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* syntaxLabel = new QLabel("&Lines:", this);
    syntax_ = new QListWidget(this);
    syntax_->setObjectName("SyntaxLines");
    syntax_->setAccessibleName("Lines");
    syntaxLabel->setBuddy(syntax_);
    for (const std::string& line : qd::ScriptTextReferenceLines())
        syntax_->addItem(q(line));
    left->addWidget(syntaxLabel);
    left->addWidget(syntax_, 1);
    auto* middle = new QVBoxLayout;
    auto* namesLabel = new QLabel("Bracketed &names:", this);
    names_ = new QListWidget(this);
    names_->setObjectName("Names");
    names_->setAccessibleName("Bracketed names");
    namesLabel->setBuddy(names_);
    const char* fixed[] = {
        "[DATE]",           "[DATE-1]",   "[DATE+1]",        "[TODAY]",        "[YESTERDAY]",
        "[TOMORROW]",       "[TIME]",     "[NOW]",           "[YYYY-MM-DD]",   "[DD-MM-YY]",
        "[MM-DD-YY]",       "[DDMMYY]",   "[MMDDYY]",        "[FOCUS]",        "[=expression]",
        "[RESPONSE]",       "[EXITCODE]", "[EMAILEXITCODE]", "[FILEEXISTS]",   "[FILESIZE]",
        "[FILEDATE]",       "[FILETIME]", "[?prompt]",       "[?TEXT prompt]", "[?FILE prompt]",
        "[?WINDOW prompt]", "[?]"};
    for (const char* n : fixed)
        names_->addItem(n);
    for (const std::string& k : qd::KeyPickerNames())
        names_->addItem(q("[" + k + "]"));
    middle->addWidget(namesLabel);
    middle->addWidget(names_, 1);
    auto* right = new QVBoxLayout;
    auto* clipLabel = new QLabel("Clip&board:", this);
    auto* clip = new QPlainTextEdit(this);
    clip->setObjectName("Clipboard");
    clip->setAccessibleName("Clipboard");
    clip->setReadOnly(true);
    clip->setPlainText(QApplication::clipboard()->text());
    clipLabel->setBuddy(clip);
    right->addWidget(clipLabel);
    right->addWidget(clip, 1);
    lists->addLayout(left, 3);
    lists->addLayout(middle, 2);
    lists->addLayout(right, 2);
    layout->addLayout(lists, 1);
    auto* row = new QHBoxLayout;
    auto* insert = new QPushButton("&Insert", this);
    insert->setObjectName("Insert");
    auto* close = new QPushButton("&Close", this);
    row->addStretch(1);
    row->addWidget(insert);
    row->addWidget(close);
    layout->addLayout(row);
    // One of the two lists holds the choice: picking in one clears the other.
    connect(syntax_, &QListWidget::itemClicked, names_, [this] { names_->clearSelection(); });
    connect(names_, &QListWidget::itemClicked, syntax_, [this] { syntax_->clearSelection(); });
    connect(insert, &QPushButton::clicked, this, [this] {
        QListWidget* from = names_->selectedItems().isEmpty() ? syntax_ : names_;
        const QList<QListWidgetItem*> chosen = from->selectedItems();
        if (!chosen.isEmpty()) emit insertText(chosen.front()->text() + (from == syntax_ ? "\n" : ""));
    });
    connect(syntax_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit insertText(item->text() + "\n"); });
    connect(names_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit insertText(item->text()); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(820, 440);
}

// ---------------------------------------------------------------------------

ScriptTextWindow::ScriptTextWindow(ScriptUiContext& context, const qd::StepOwner& owner, const QString& title,
                                   QWidget* parent)
    : QDialog(parent), context_(context), owner_(owner) {
    setObjectName("ScriptEditAsText");
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName("ScriptText");
    text_->setAccessibleName("Script text");
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    highlighter_ = new ScriptHighlighter(text_->document());
    layout->addWidget(text_, 1);

    std::string loaded;
    if (owner_.isTemplate()) {
        const qd::StepsResult r = qd::LoadScriptSteps(context_.ds, *owner_.table, owner_.id);
        if (!r.ok()) context_.ui.message("Error", "Next script:  " + r.error, qd::MessageIcon::Exclamation);
        loaded = qd::StepsToText(r.steps);
    } else {
        loaded = qd::ScriptToText(context_.ds, owner_.id, context_.ui);
    }
    text_->setPlainText(q(loaded));
    text_->document()->setModified(false);

    auto* row = new QHBoxLayout;
    auto add = [&](const char* name, const char* label, const char* tip, auto slot) {
        auto* b = new QPushButton(label, this);
        b->setObjectName(name);
        b->setAccessibleName(QString(label).remove('&').remove("..."));
        b->setToolTip(tip);
        row->addWidget(b);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    add("Copy", "&Copy", "Copy the whole text to the clipboard", &ScriptTextWindow::copyToClipboard);
    add("Paste", "&Paste", "Replace the text by the clipboard's text", &ScriptTextWindow::pasteFromClipboard);
    add("SearchReplace", "Search and &Replace...", "Replace every occurrence of a text",
        &ScriptTextWindow::openSearchReplace);
    add("Reference", "Re&ference...", "The lines and names a script text may hold",
        &ScriptTextWindow::openReference);
    row->addStretch(1);
    QPushButton* saveButton =
        add("Save", "&Save", "Replace the stored steps by the text", &ScriptTextWindow::save);
    saveButton->setDefault(false);
    saveButton->setAutoDefault(false);
    add("Close", "C&lose", "Close the text", &ScriptTextWindow::reject);
    layout->addLayout(row);
    resize(760, 520);
}

void ScriptTextWindow::copyToClipboard() {
    QApplication::clipboard()->setText(text_->toPlainText());
}

void ScriptTextWindow::pasteFromClipboard() {
    const QString clip = QApplication::clipboard()->text();
    QTextCursor c(text_->document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.insertText(clip);
    c.endEditBlock();
}

void ScriptTextWindow::openSearchReplace() {
    SearchReplaceDialog d(this);
    if (context_.ui.runDialog(d) != QDialog::Accepted) return;
    const int n =
        replaceAll(text_, d.findField()->text(), d.replaceField()->text(), d.matchCase()->isChecked());
    context_.ui.message("Search and Replace",
                        n == 1 ? std::string("1 occurrence replaced.")
                               : std::to_string(n) + " occurrences replaced.",
                        qd::MessageIcon::Information);
}

void ScriptTextWindow::openReference() {
    ScriptReferenceWindow w(this);
    connect(&w, &ScriptReferenceWindow::insertText, this,
            [this](const QString& t) { text_->insertPlainText(t); });
    context_.ui.runDialog(w);
}

void ScriptTextWindow::showLine(int line) {
    const QTextBlock block = text_->document()->findBlockByNumber(line - 1);
    if (!block.isValid()) return;
    QTextCursor c(block);
    text_->setTextCursor(c);
    text_->centerCursor();
    QTextEdit::ExtraSelection mark;
    mark.cursor = c;
    mark.cursor.select(QTextCursor::LineUnderCursor);
    mark.format.setBackground(QColor(0xff, 0xd6, 0xd6));
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    text_->setExtraSelections({mark});
}

bool ScriptTextWindow::save() {
    const std::string text = s(text_->toPlainText());
    if (text.empty()) {
        context_.ui.message("Error", "Nothing to save.", qd::MessageIcon::Exclamation);
        return false;
    }
    const std::vector<qd::TextProblem> problems = qd::CheckScriptText(text);
    if (!problems.empty()) {
        errorLine_ = problems.front().line;
        showLine(errorLine_);
        context_.ui.message("Error", qd::TextProblemMessage(problems), qd::MessageIcon::Exclamation);
        return false;
    }
    errorLine_ = 0;
    text_->setExtraSelections({});
    bool ok = false;
    if (owner_.isTemplate()) {
        const qd::StepStatus st = qd::ReplaceScriptSteps(context_.ds, *owner_.table, owner_.id,
                                                         qd::TextToSteps(text, owner_.id, &context_.ui));
        if (!st.ok())
            context_.ui.message("Error", "Error adding scripting:\n" + st.error,
                                qd::MessageIcon::Exclamation);
        ok = st.ok();
    } else {
        ok = qd::TextToScript(context_.ds, owner_.id, text, context_.ui);
    }
    if (ok) {
        saved_ = true;
        text_->document()->setModified(false);
        emit stepsReplaced();
    }
    return ok;
}

void ScriptTextWindow::reject() {
    if (text_->document()->isModified() &&
        !context_.ui.ask("Script", "The text was changed and not saved. Close it anyway?"))
        return;
    QDialog::reject();
}

} // namespace qdscriptui
