#include "ui/QtUserInterface.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qdui {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QMessageBox::Icon qtIcon(qd::MessageIcon icon) {
    switch (icon) {
    case qd::MessageIcon::None:
        return QMessageBox::NoIcon;
    case qd::MessageIcon::Information:
        return QMessageBox::Information;
    case qd::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case qd::MessageIcon::Question:
        return QMessageBox::Question;
    case qd::MessageIcon::Hand:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString qtFileFilter(const std::string& filter) {
    const QStringList parts = q(filter).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << parts[i] + " (" + patterns + ")";
    }
    return out.isEmpty() ? QString() : out.join(";;");
}

QtUserInterface::QtUserInterface(QObject* parent) : QObject(parent) {}

int QtUserInterface::runDialog(QDialog& dialog) {
    ++open_;
    if (hook_) hook_(dialog);
    const int result = dialog.exec();
    --open_;
    return result;
}

void QtUserInterface::message(const std::string& title, const std::string& text, qd::MessageIcon icon) {
    QMessageBox box(qtIcon(icon), q(title), q(text), QMessageBox::Ok, parentWindow_);
    runDialog(box);
}

bool QtUserInterface::ask(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, q(title), q(text), QMessageBox::Yes | QMessageBox::No,
                    parentWindow_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    runDialog(box);
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

std::optional<std::string> QtUserInterface::chooseFolder(const std::string& title, const std::string& start) {
    QFileDialog dialog(parentWindow_, q(title), q(start));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // Qt's own dialog, so that it is the same on every desktop and tests can answer it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void QtUserInterface::setClipboardText(const std::string& text) {
    QApplication::clipboard()->setText(q(text));
}

int QtUserInterface::chooseButton(const std::string& title, const std::string& text,
                                  const std::vector<std::string>& buttons) {
    QMessageBox box(QMessageBox::Warning, q(title), q(text), QMessageBox::NoButton, parentWindow_);
    std::vector<QAbstractButton*> made;
    for (const auto& caption : buttons)
        made.push_back(box.addButton(q(caption), QMessageBox::AcceptRole));
    if (made.empty()) made.push_back(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(qobject_cast<QPushButton*>(made.front()));
    runDialog(box);
    for (std::size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i]) return static_cast<int>(i) + 1;
    // Closed without a button (Escape, the close box): the last button, the usual "cancel".
    return static_cast<int>(made.size());
}

std::optional<std::string> QtUserInterface::prompt(const qd::PromptRequest& request) {
    if (request.kind == qd::PromptKind::File) {
        QFileDialog dialog(parentWindow_, q(request.title), q(request.initial), qtFileFilter(request.filter));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().front().toStdString();
    }
    QInputDialog dialog(parentWindow_);
    dialog.setWindowTitle(q(request.title));
    dialog.setLabelText(q(request.label));
    if (request.kind == qd::PromptKind::Choice) {
        QStringList items;
        for (const auto& c : request.choices)
            items << q(c);
        dialog.setComboBoxItems(items);
        dialog.setComboBoxEditable(false);
        if (!request.initial.empty()) dialog.setTextValue(q(request.initial));
    } else {
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextValue(q(request.initial));
    }
    if (runDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

} // namespace qdui
