#include "organizer/ui/ContactCategoryWindows.h"

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "organizer/Contacts.h"
#include "schedule/ui/CategoryWindows.h"
#include "ui/QtUserInterface.h"
#include "ui/WindowParts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace qdorgui {
namespace {

// The category's record, read for a change or a deletion; false when it is gone.
bool fetchCategory(qd::Table<qd::ContactCategoriesRecord>& t, const std::string& name) {
    if (t.open() != qd::Level::Benign) return false;
    t.rec.ContactCategory = name;
    return t.fetch("CC:KeyContactCategories") == qd::Level::Benign;
}

} // namespace

ContactCategoriesWindow::ContactCategoriesWindow(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent)
    : QWidget(parent), ds_(ds), ui_(ui) {
    setObjectName("BrowseContactCategories2Pane");
    setWindowTitle("Contact Categories");
    auto* layout = new QVBoxLayout(this);
    auto* split = new QSplitter(Qt::Vertical, this);

    auto* top = new QWidget(split);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    auto* topLabel = new QLabel("C&ategories", top);
    topLayout->addWidget(topLabel);
    categories_ = new QListWidget(top);
    categories_->setObjectName("Categories");
    categories_->setAccessibleName("Categories");
    topLabel->setBuddy(categories_);
    topLayout->addWidget(categories_, 1);

    auto* bottom = new QWidget(split);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    auto* bottomLabel = new QLabel("Contacts for &Highlighted Category", bottom);
    bottomLayout->addWidget(bottomLabel);
    contacts_ = new ContactsModel(ds_, this);
    contactList_ = new QTableView(bottom);
    contactList_->setObjectName("CategoryContacts");
    contactList_->setAccessibleName("Contacts for Highlighted Category");
    contactList_->setModel(contacts_);
    contactList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    contactList_->setSelectionMode(QAbstractItemView::SingleSelection);
    contactList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    contactList_->verticalHeader()->hide();
    bottomLabel->setBuddy(contactList_);
    bottomLayout->addWidget(contactList_, 1);
    split->addWidget(top);
    split->addWidget(bottom);
    layout->addWidget(split, 1);

    auto* row = new QHBoxLayout;
    connect(qdui::namedButton(this, "&New", "New", row), &QPushButton::clicked, this,
            &ContactCategoriesWindow::newPressed);
    edit_ = qdui::namedButton(this, "&Edit", "Edit", row);
    connect(edit_, &QPushButton::clicked, this, &ContactCategoriesWindow::editPressed);
    delete_ = qdui::namedButton(this, "&Delete", "Delete", row);
    connect(delete_, &QPushButton::clicked, this, &ContactCategoriesWindow::deletePressed);
    row->addStretch(1);
    connect(qdui::namedButton(this, "Cl&ose", "Close", row), &QPushButton::clicked, this,
            [this] { qdui::closeWindow(this); });
    layout->addLayout(row);

    connect(categories_, &QListWidget::currentRowChanged, this, &ContactCategoriesWindow::showContacts);
    connect(categories_, &QListWidget::itemDoubleClicked, this, &ContactCategoriesWindow::editPressed);
    reload();
    resize(640, 480);
}

std::optional<std::string> ContactCategoriesWindow::current() const {
    if (const QListWidgetItem* i = categories_->currentItem()) return i->text().toStdString();
    return std::nullopt;
}

void ContactCategoriesWindow::reload(const std::string& select) {
    const std::string keep = select.empty() ? current().value_or(std::string()) : select;
    categories_->clear();
    for (const std::string& c : qd::listContactCategories(ds_))
        categories_->addItem(QString::fromStdString(c));
    int row = categories_->count() > 0 ? 0 : -1;
    for (int i = 0; i < categories_->count(); ++i)
        if (qd::text::equalsNoCase(categories_->item(i)->text().toStdString(), keep)) row = i;
    categories_->setCurrentRow(row);
    showContacts();
}

void ContactCategoriesWindow::showContacts() {
    const auto c = current();
    // The category order limited to the highlighted category; none: no contacts.
    if (c)
        contacts_->setOrder("C_:KeyCategory", *c);
    else
        contacts_->showNone();
    edit_->setEnabled(c.has_value());
    delete_->setEnabled(c.has_value());
}

void ContactCategoriesWindow::newPressed() {
    qdschedui::CategoryForm form("New Contact Category", {}, ui_, this);
    if (ui_.runDialog(form) != QDialog::Accepted) return;
    const std::string name = form.name().toStdString();
    qd::Table<qd::ContactCategoriesRecord> t(ds_, qd::tables::ContactCategories());
    if (t.open() != qd::Level::Benign) return;
    t.rec.ContactCategory = name;
    // A name there already is refused by the key with its message.
    if (t.insert() == qd::Level::Benign) reload(name);
}

void ContactCategoriesWindow::editPressed() {
    const auto c = current();
    if (!c) return;
    qdschedui::CategoryForm form("Edit Contact Category", QString::fromStdString(*c), ui_, this);
    if (ui_.runDialog(form) != QDialog::Accepted) return;
    const std::string name = form.name().toStdString();
    if (name == *c) return;
    qd::Table<qd::ContactCategoriesRecord> t(ds_, qd::tables::ContactCategories());
    if (!fetchCategory(t, *c)) {
        reload();
        return;
    }
    t.rec.ContactCategory = name;
    // The relations refuse the new name while contacts use the old one.
    const bool renamed = qd::RelationManager(t).update() == qd::Level::Benign;
    reload(renamed ? name : *c);
}

void ContactCategoriesWindow::deletePressed() {
    const auto c = current();
    if (!c) return;
    qd::Table<qd::ContactCategoriesRecord> t(ds_, qd::tables::ContactCategories());
    if (fetchCategory(t, *c)) qd::RelationManager(t).deleteRecord(true);
    reload();
}

} // namespace qdorgui
