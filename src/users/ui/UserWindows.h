// The users who share the data folder: the list ("Users") and the form that
// adds or changes one ("Add Users", "Change Users "). The list reads the table
// a page at a time in name order.
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"
#include "ui/QueryDialog.h"
#include "ui/RecordListModel.h"

#include <QDialog>
#include <QWidget>

#include <string>
#include <vector>

class QCheckBox;
class QLineEdit;
class QListView;
class QPlainTextEdit;
class QRadioButton;

namespace qd {
class UserInterface;
}
namespace qdui {
class QtUserInterface;
}

namespace qdusersui {

// The users in name order.
class UsersModel : public qdui::RecordListModelOf<qd::UsersRecord> {
    Q_OBJECT
public:
    explicit UsersModel(qd::DataSet& ds, QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role) const override;
    // The row of a user name (without regard to case), -1 when not in the list.
    int rowOf(const QString& name) const;
};

// The form of one user. OK refuses a blank name with "Missing Information".
class UserForm : public QDialog {
    Q_OBJECT
public:
    UserForm(const QString& title, const qd::UsersRecord& user, qd::UserInterface& ui,
             QWidget* parent = nullptr);

    qd::UsersRecord record() const;
    QLineEdit* nameField() const { return name_; }

    void accept() override;

private:
    qd::UserInterface& ui_;
    qd::UsersRecord original_;
    QLineEdit* name_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* confirm_ = nullptr;
    QCheckBox* usePassword_ = nullptr;
    QRadioButton* personal_ = nullptr;
    QRadioButton* allUsers_ = nullptr;
    QLineEdit* sourcePath_ = nullptr;
    QPlainTextEdit* notes_ = nullptr;
};

class UsersWindow : public QWidget {
    Q_OBJECT
public:
    UsersWindow(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent = nullptr);

    QListView* list() const { return list_; }
    UsersModel* model() const { return model_; }

    void insertPressed();
    void changePressed();
    void deletePressed();

private:
    QString current() const;
    void select(const QString& name);

    qd::DataSet& ds_;
    qdui::QtUserInterface& ui_;
    UsersModel* model_ = nullptr;
    qdui::QueryBar* query_ = nullptr;
    QListView* list_ = nullptr;
};

} // namespace qdusersui
