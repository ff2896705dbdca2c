// "Script:EditAsText": a task's (or template's) script as one text, with
// keywords, bracketed names and expressions coloured, search and replace, the
// reference of the keywords and names, and a save that replaces the stored
// steps only when every line reads cleanly; the first faulty line is named
// and shown, and nothing is stored.
#pragma once

#include "script/ScriptEditing.h"
#include "script/ui/ScriptUiContext.h"

#include <QDialog>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace qdscriptui {

// Colours the script text: keywords, unknown keywords (underlined in red),
// bracketed key names, variables and "[=" expressions, quoted arguments and
// the START and DISPLAY options.
class ScriptHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    enum Kind { kKeyword, kUnknown, kKeyName, kVariable, kExpression, kQuoted, kOption, kKindCount };
    explicit ScriptHighlighter(QTextDocument* document);
    const QTextCharFormat& format(Kind k) const { return formats_[k]; }

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat formats_[kKindCount];
};

// "Script:Text:SearchAndReplace".
class SearchReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit SearchReplaceDialog(QWidget* parent = nullptr);
    QLineEdit* findField() const { return find_; }
    QLineEdit* replaceField() const { return replace_; }
    QCheckBox* matchCase() const { return case_; }

private:
    QLineEdit* find_ = nullptr;
    QLineEdit* replace_ = nullptr;
    QCheckBox* case_ = nullptr;
};

// Replaces every occurrence in the text box as one undoable edit; returns the count.
int replaceAll(QPlainTextEdit* edit, const QString& find, const QString& replacement, bool matchCase);

// "Script:Text:Reference": the syntax lines, the bracketed names, and the
// clipboard's text beside them.
class ScriptReferenceWindow : public QDialog {
    Q_OBJECT
public:
    explicit ScriptReferenceWindow(QWidget* parent = nullptr);
    QListWidget* syntax() const { return syntax_; }
    QListWidget* names() const { return names_; }

signals:
    // "&Insert": the highlighted line or name is wanted at the cursor.
    void insertText(const QString& text);

private:
    QListWidget* syntax_ = nullptr;
    QListWidget* names_ = nullptr;
};

class ScriptTextWindow : public QDialog {
    Q_OBJECT
public:
    ScriptTextWindow(ScriptUiContext& context, const qd::StepOwner& owner, const QString& title,
                     QWidget* parent = nullptr);

    QPlainTextEdit* editor() const { return text_; }
    // "&Save": true when the steps were replaced.
    bool save();
    void copyToClipboard();
    void pasteFromClipboard();
    void openSearchReplace();
    void openReference();
    // The line of the last refused save (0: none).
    int errorLine() const { return errorLine_; }
    bool saved() const { return saved_; }

signals:
    void stepsReplaced();

protected:
    void reject() override;

private:
    void showLine(int line);

    ScriptUiContext& context_;
    qd::StepOwner owner_;
    QPlainTextEdit* text_ = nullptr;
    ScriptHighlighter* highlighter_ = nullptr;
    int errorLine_ = 0;
    bool saved_ = false;
};

} // namespace qdscriptui
