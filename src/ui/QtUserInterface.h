// The core's questions, notices and choosers as Qt dialogs.
//
// Every dialog runs through one place (runDialog), which tests use to answer it
// while its nested event loop runs, exactly as a person would.
#pragma once

#include "data/UserInterface.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QDialog;

namespace qdui {

class QtUserInterface : public QObject, public qd::UserInterface {
    Q_OBJECT
public:
    explicit QtUserInterface(QObject* parent = nullptr);

    // The window the dialogs belong to (the main frame once it exists).
    void setParentWindow(QWidget* window) { parentWindow_ = window; }
    QWidget* parentWindow() const { return parentWindow_; }

    void message(const std::string& title, const std::string& text, qd::MessageIcon icon) override;
    bool ask(const std::string& title, const std::string& text) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override;
    void setClipboardText(const std::string& text) override;
    int chooseButton(const std::string& title, const std::string& text,
                     const std::vector<std::string>& buttons) override;
    std::optional<std::string> prompt(const qd::PromptRequest& request) override;

    // Called with each dialog after it is built and before its loop starts; a
    // test answers it from here (usually through a timer, so the loop runs).
    using DialogHook = std::function<void(QDialog&)>;
    void setDialogHook(DialogHook hook) { hook_ = std::move(hook); }

    // Dialogs of this interface open now.
    int openDialogs() const { return open_; }

    // Runs a dialog modally through the hook; returns its result code.
    int runDialog(QDialog& dialog);

private:
    QPointer<QWidget> parentWindow_;
    DialogHook hook_;
    int open_ = 0;
};

// "All Files|*.*|Text|*.txt" as a Qt file-dialog filter ("All Files (*.*);;Text (*.txt)").
QString qtFileFilter(const std::string& filter);

} // namespace qdui
