// The contact categories: the two-pane list ("Contact Categories") with the
// categories above and the contacts of the highlighted one below; one category
// is added or renamed in the categories' form ("New Contact Category", "Edit
// Contact Category"). A category that contacts still use can be neither renamed
// nor deleted; the table relations refuse it with their message.
#pragma once

#include "data/DataSet.h"
#include "organizer/ui/ContactWindows.h"

#include <QWidget>

#include <optional>
#include <string>

class QListWidget;
class QPushButton;
class QTableView;

namespace qdorgui {

class ContactCategoriesWindow : public QWidget {
    Q_OBJECT
public:
    ContactCategoriesWindow(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent = nullptr);

    QListWidget* categories() const { return categories_; }
    ContactsModel* contacts() const { return contacts_; }
    std::optional<std::string> current() const;

    void newPressed();
    void editPressed();
    void deletePressed();
    // Reads the categories again, keeping `select` highlighted when it is there.
    void reload(const std::string& select = {});

private:
    void showContacts();

    qd::DataSet& ds_;
    qdui::QtUserInterface& ui_;
    QListWidget* categories_ = nullptr;
    ContactsModel* contacts_ = nullptr;
    QTableView* contactList_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
};

} // namespace qdorgui
