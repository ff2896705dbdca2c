// The task categories: the list ("Task Categories") and the form that adds or
// renames one ("New Category", "Edit Category"). A category that tasks still
// use can be neither renamed nor deleted: the record layer's relation rules
// refuse it with their message.
#pragma once

#include "data/DataSet.h"
#include "data/UserInterface.h"
#include "ui/QueryDialog.h"

#include <QDialog>
#include <QWidget>

#include <optional>
#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace qdui {
class QtUserInterface;
}

namespace qdschedui {

// The form of one category. Its OK button refuses a blank name with the
// "Missing Information" message and keeps the form open.
class CategoryForm : public QDialog {
    Q_OBJECT
public:
    CategoryForm(const QString& title, const QString& name, qd::UserInterface& ui, QWidget* parent = nullptr);
    QString name() const;
    QLineEdit* field() const { return field_; }

    void accept() override;

private:
    qd::UserInterface& ui_;
    QLineEdit* field_ = nullptr;
};

class CategoriesWindow : public QWidget {
    Q_OBJECT
public:
    // `ui` runs the category form (so tests can answer it) and shows the messages.
    CategoriesWindow(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }
    void reload();
    // The store operations behind the buttons; false (with the reason shown)
    // when nothing was changed.
    bool addCategory(const std::string& name);
    bool renameCategory(const std::string& from, const std::string& to);
    bool deleteCategory(const std::string& name);

    // The buttons: the form (insert, change) or the delete question first.
    void insertPressed();
    void changePressed();
    void deletePressed();

private:
    void select(const QString& name);
    QString current() const;

    qd::DataSet& ds_;
    qdui::QtUserInterface& ui_;
    QListWidget* list_ = nullptr;
    qdui::QueryBar* query_ = nullptr;
};

} // namespace qdschedui
