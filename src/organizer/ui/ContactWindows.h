// The address book's windows: the list ("Contacts") with its sort tabs, the
// form of one contact ("Update the Contact File"), and the categories' pick list.
#pragma once

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/RecordFilter.h"
#include "data/RecordPages.h"
#include "data/Records.h"
#include "data/UserInterface.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QTableView;

namespace qdui {
class QtUserInterface;
class QueryBar;
} // namespace qdui

namespace qdorgui {

// The contacts in the order of one key, counted by the store and read a page
// at a time as they are shown.
class ContactsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPage = 100;
    ContactsModel(qd::DataSet& ds, QObject* parent = nullptr);
    ~ContactsModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The order (a key of the Contact table) and, for the category order, the
    // category whose contacts are shown.
    void setOrder(const std::string& key, const std::string& category = {});
    // Only the contacts that meet the query (the "&Query" button); empty: all.
    void setQuery(const qd::RecordFilter& query);
    // No rows at all (a list of the contacts of no category).
    void showNone();
    // Counts the list again; its rows are read again as they are shown.
    void reload();
    qd::ContactRecord contact(int row) const;
    // The row of the contact; -1 when it is not in the list.
    int rowOf(int clientId) const;

private:
    void setView();

    qd::DataSet& ds_;
    std::unique_ptr<qd::RecordPages<qd::ContactRecord>> rows_;
    std::string key_ = "C_:KeyLastName";
    std::string category_;
    qd::RecordFilter query_;
    bool none_ = false;
};

// The form of one contact. OK refuses a blank last name with "Missing Information".
class ContactForm : public QDialog {
    Q_OBJECT
public:
    ContactForm(const QString& title, const qd::ContactRecord& contact,
                const std::vector<std::string>& categories, qd::UserInterface& ui, QWidget* parent = nullptr);
    qd::ContactRecord record() const;
    void accept() override;
    QLineEdit* field(const char* name) const;

private:
    qd::UserInterface& ui_;
    qd::ContactRecord original_;
    std::vector<std::pair<const char*, QLineEdit*>> fields_;
    QComboBox* category_ = nullptr;
    QPlainTextEdit* notes_ = nullptr;
};

struct ContactsContext {
    qd::DataSet& ds;
    qdui::QtUserInterface& ui;
    // "Email...": a new message to the contact; empty disables the entry.
    std::function<void(const qd::ContactRecord&)> email;
};

class ContactsWindow : public QWidget {
    Q_OBJECT
public:
    // With `selecting`, "&Select" chooses the highlighted contact (chosen()).
    ContactsWindow(ContactsContext context, bool selecting = false, QWidget* parent = nullptr);

    QTableView* list() const { return list_; }
    ContactsModel* model() const { return model_; }
    QTabBar* tabs() const { return tabs_; }
    qdui::QueryBar* queryBar() const { return query_; }
    std::optional<qd::ContactRecord> current() const;
    const std::optional<qd::ContactRecord>& chosen() const { return chosen_; }

    void copyToClipboardPressed();
    void newPressed();
    void copyPressed();
    void editPressed();
    void deletePressed();
    void emailPressed();
    void selectCategoryPressed();
    // The tasks linked to the highlighted contact: link one chosen from the
    // task pick list, or unlink the highlighted one.
    void linkTaskPressed();
    void unlinkTaskPressed();
    QListWidget* linkedTasks() const { return linked_; }

signals:
    void selected();

private:
    void showLinkedTasks();
    void tabChanged(int tab);
    void select(int clientId);
    void edit(qd::ContactRecord start, const QString& title, bool isNew);

    ContactsContext context_;
    ContactsModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QTabBar* tabs_ = nullptr;
    std::string category_;
    std::optional<qd::ContactRecord> chosen_;
    QListWidget* linked_ = nullptr;
    QPushButton* link_ = nullptr;
    QPushButton* unlink_ = nullptr;
    qdui::QueryBar* query_ = nullptr;
};

// "Select a Category": one of the contact categories; nullopt when cancelled.
std::optional<std::string> selectContactCategory(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent);
// "Select a Task": a task chosen by number or by a part of its description;
// nullopt when cancelled.
std::optional<int> selectTask(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent);
// The contacts list as a modal pick list; nullopt when cancelled.
std::optional<qd::ContactRecord> selectContact(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent);

} // namespace qdorgui
