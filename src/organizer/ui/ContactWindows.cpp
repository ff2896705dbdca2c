#include "organizer/ui/ContactWindows.h"

#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "organizer/ContactTasks.h"
#include "organizer/Contacts.h"
#include "ui/QtUserInterface.h"
#include "ui/QueryDialog.h"
#include "ui/WindowParts.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace qdorgui {
namespace {

// The most tasks the task pick list shows for one search.
constexpr int kTaskChoices = 200;

QString text(const std::string& s) {
    return QString::fromStdString(qd::text::trimmedRight(s));
}

struct Column {
    const char* heading;
    std::string qd::ContactRecord::*member;
};
const Column kColumns[] = {
    {"Last Name", &qd::ContactRecord::LastName},
    {"First Name", &qd::ContactRecord::FirstName},
    {"Email", &qd::ContactRecord::Email},
    {"Work/Day Phone", &qd::ContactRecord::WorkDayPhone},
    {"Home/Evening Phone", &qd::ContactRecord::HomeEveningPhone},
    {"Fax", &qd::ContactRecord::Fax},
    {"Contact Category", &qd::ContactRecord::ContactCategory},
    {"Address Line 1", &qd::ContactRecord::AddressLine1},
    {"Address Line 2", &qd::ContactRecord::AddressLine2},
    {"Address Line 3", &qd::ContactRecord::AddressLine3},
    {"Postal Code", &qd::ContactRecord::PostalCode},
};

struct SortTab {
    const char* label;
    const char* key;
};
const SortTab kTabs[] = {
    {"Last Name", "C_:KeyLastName"},
    {"First Name", "C_:KeyFirstName"},
    {"Work/Day Phone", "C_:KeyWorkPhone"},
    {"Home/Evening Phone", "C_:KeyHomePhone"},
    {"Fax", "C_:KeyFaxNumber"},
    {"Email", "C_:KeyEmail"},
    {"Category", "C_:KeyCategory"},
};

struct FormField {
    const char* name;
    const char* prompt;
    int width;
    std::string qd::ContactRecord::*member;
};
const FormField kFields[] = {
    {"LastName", "&Last Name:", 30, &qd::ContactRecord::LastName},
    {"FirstName", "First &Name:", 20, &qd::ContactRecord::FirstName},
    {"AddressLine1", "Address Line 1:", 30, &qd::ContactRecord::AddressLine1},
    {"AddressLine2", "Address Line 2:", 30, &qd::ContactRecord::AddressLine2},
    {"AddressLine3", "Address Line 3:", 30, &qd::ContactRecord::AddressLine3},
    {"PostalCode", "&Postal Code:", 10, &qd::ContactRecord::PostalCode},
    {"WorkDayPhone", "&Work/Day Phone:", 20, &qd::ContactRecord::WorkDayPhone},
    {"HomeEveningPhone", "&Home/Evening Phone:", 20, &qd::ContactRecord::HomeEveningPhone},
    {"Fax", "&Fax:", 20, &qd::ContactRecord::Fax},
    {"OtherPhone", "Other Phone:", 20, &qd::ContactRecord::OtherPhone},
    {"Email", "&Email:", 40, &qd::ContactRecord::Email},
    {"WebSite", "&Web Site:", 60, &qd::ContactRecord::WebSite},
};

QStringList headings() {
    QStringList h;
    for (const Column& c : kColumns)
        h << c.heading;
    return h;
}

QString plain(const char* prompt) {
    return QString(prompt).remove('&').remove(':');
}

} // namespace

// ---------------------------------------------------------------------------
// ContactsModel

ContactsModel::ContactsModel(qd::DataSet& ds, QObject* parent)
    : RecordListModelOf(ds, qd::tables::Contact(), "C_:KeyLastName", headings(), parent) {}

QVariant ContactsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    return text(record(index.row()).*kColumns[index.column()].member);
}

void ContactsModel::setOrder(const std::string& key, const std::string& category) {
    // The category order shows the contacts of one category.
    qd::RecordFilter narrowing;
    const std::string shown = qd::text::trimmed(category);
    if (key == "C_:KeyCategory" && !shown.empty())
        narrowing.push_back(
            {qd::tables::Contact().findField("ContactCategory"), qd::FieldMatch::Equals, shown, {}, {}});
    RecordListModel::setOrder(key, narrowing);
}

int ContactsModel::rowOf(int clientId) const {
    return rowOfKey(
        "C_:KeyClientID", [clientId](qd::ContactRecord& c) { c.ClientID = clientId; },
        [clientId](const qd::ContactRecord& c) { return c.ClientID == clientId; });
}

// ---------------------------------------------------------------------------
// ContactForm

ContactForm::ContactForm(const QString& title, const qd::ContactRecord& contact,
                         const std::vector<std::string>& categories, qd::UserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), original_(contact) {
    setWindowTitle(title);
    setObjectName("UpdateContacts");
    setAccessibleName("Update the Contact File");
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName("Tabs");
    auto* general = new QWidget(tabs);
    auto* form = new QFormLayout(general);
    for (const FormField& f : kFields) {
        auto* edit = new QLineEdit(text(contact.*f.member), general);
        edit->setObjectName(f.name);
        edit->setAccessibleName(plain(f.prompt));
        edit->setMaxLength(f.width);
        if (f.width == 30 && std::string_view(f.name).starts_with("Address"))
            edit->setToolTip("Enter up to 30 characters");
        form->addRow(f.prompt, edit);
        fields_.emplace_back(f.name, edit);
        if (std::string_view(f.name) == "FirstName") {
            category_ = new QComboBox(general);
            category_->setObjectName("ContactCategory");
            category_->setAccessibleName("Contact Category");
            category_->addItem(QString());
            for (std::size_t i = 0; i < categories.size() && i < 1024; ++i)
                category_->addItem(QString::fromStdString(categories[i]));
            const int at = category_->findText(text(contact.ContactCategory), Qt::MatchFixedString);
            if (at >= 0) {
                category_->setCurrentIndex(at);
            } else if (!text(contact.ContactCategory).isEmpty()) {
                category_->addItem(text(contact.ContactCategory));
                category_->setCurrentIndex(category_->count() - 1);
            }
            form->addRow("Contact Category:", category_);
        }
    }
    tabs->addTab(general, "General");
    notes_ = new QPlainTextEdit(text(contact.Notes), tabs);
    notes_->setObjectName("Notes");
    notes_->setAccessibleName("Notes");
    notes_->setTabChangesFocus(true);
    tabs->addTab(notes_, "Notes");
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &ContactForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ContactForm::reject);
    layout->addWidget(buttons);
}

QLineEdit* ContactForm::field(const char* name) const {
    for (const auto& [n, edit] : fields_)
        if (std::string_view(n) == name) return edit;
    return nullptr;
}

qd::ContactRecord ContactForm::record() const {
    qd::ContactRecord r = original_;
    for (const FormField& f : kFields)
        r.*f.member = field(f.name)->text().toStdString();
    r.ContactCategory = category_->currentText().toStdString();
    r.Notes = notes_->toPlainText().left(1024).toStdString();
    return r;
}

void ContactForm::accept() {
    if (qd::text::trimmed(record().LastName).empty()) {
        ui_.message("Missing Information", "Last Name must be entered.", qd::MessageIcon::Exclamation);
        field("LastName")->setFocus();
        return;
    }
    QDialog::accept();
}

// ---------------------------------------------------------------------------
// ContactsWindow

ContactsWindow::ContactsWindow(ContactsContext context, bool selecting, QWidget* parent)
    : QWidget(parent), context_(std::move(context)) {
    setObjectName("BrowseContacts");
    setWindowTitle("Contacts");
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName("SortOrder");
    tabs_->setAccessibleName("Sort order");
    for (const SortTab& t : kTabs)
        tabs_->addTab(t.label);
    layout->addWidget(tabs_);
    model_ = new ContactsModel(context_.ds, this);
    list_ = qdui::recordTable(this, "Contacts", "Contacts", model_);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(list_, 1);
    const qd::TableDef& def = qd::tables::Contact();
    query_ = new qdui::QueryBar(
        {{def.findField("LastName"), "Last Name", qdui::QueryFieldKind::Text},
         {def.findField("FirstName"), "First Name", qdui::QueryFieldKind::Text},
         {def.findField("Email"), "Email", qdui::QueryFieldKind::Text},
         {def.findField("ContactCategory"), "Contact Category", qdui::QueryFieldKind::Text},
         {def.findField("WorkDayPhone"), "Work/Day Phone", qdui::QueryFieldKind::Text},
         {def.findField("PostalCode"), "Postal Code", qdui::QueryFieldKind::Text}},
        "contacts", this);
    qdui::followQuery(query_, model_, list_);
    layout->addWidget(query_->shown());

    auto* row = new QHBoxLayout;
    auto add = [&](const char* name, const char* label, const char* tip = "") {
        return qdui::namedButton(this, label, name, row, tip);
    };
    connect(add("CopyToClipboard", "&Copy to Clipboard"), &QPushButton::clicked, this,
            &ContactsWindow::copyToClipboardPressed);
    connect(add("SelectCategory", "Select Cate&gory"), &QPushButton::clicked, this,
            &ContactsWindow::selectCategoryPressed);
    connect(add("New", "&New"), &QPushButton::clicked, this, &ContactsWindow::newPressed);
    QPushButton* select = add("Select", "&Select");
    select->setVisible(selecting);
    connect(select, &QPushButton::clicked, this, [this] {
        chosen_ = current();
        if (chosen_) emit selected();
    });
    connect(add("Copy", "Cop&y", "Copy record"), &QPushButton::clicked, this, &ContactsWindow::copyPressed);
    connect(add("Edit", "&Edit"), &QPushButton::clicked, this, &ContactsWindow::editPressed);
    connect(add("Delete", "&Delete"), &QPushButton::clicked, this, &ContactsWindow::deletePressed);
    query_->addButtons(row);
    row->addStretch(1);
    connect(add("Close", "Cl&ose"), &QPushButton::clicked, this, [this] { qdui::closeWindow(this); });
    layout->addLayout(row);

    // The tasks the highlighted contact is linked to.
    auto* linkedLabel = new QLabel("Linked &Tasks:", this);
    layout->addWidget(linkedLabel);
    auto* linkedRow = new QHBoxLayout;
    linked_ = new QListWidget(this);
    linked_->setObjectName("LinkedTasks");
    linked_->setAccessibleName("Tasks linked to the contact");
    linked_->setMaximumHeight(90);
    linkedLabel->setBuddy(linked_);
    linkedRow->addWidget(linked_, 1);
    auto* linkButtons = new QVBoxLayout;
    link_ = qdui::namedButton(this, "&Link Task...", "LinkTask", linkButtons);
    connect(link_, &QPushButton::clicked, this, &ContactsWindow::linkTaskPressed);
    unlink_ = qdui::namedButton(this, "&Unlink Task", "UnlinkTask", linkButtons);
    connect(unlink_, &QPushButton::clicked, this, &ContactsWindow::unlinkTaskPressed);
    linkButtons->addStretch(1);
    linkedRow->addLayout(linkButtons);
    layout->addLayout(linkedRow);
    connect(model_, &QAbstractItemModel::modelReset, this, &ContactsWindow::showLinkedTasks);

    connect(tabs_, &QTabBar::currentChanged, this, &ContactsWindow::tabChanged);
    connect(list_, &QTableView::doubleClicked, this, [this, selecting] {
        if (selecting) {
            chosen_ = current();
            if (chosen_) emit selected();
        } else {
            editPressed();
        }
    });
    connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        // A heading sorts by its column where a key orders by it.
        const std::string heading = kColumns[column].heading;
        for (int t = 0; t < static_cast<int>(std::size(kTabs)); ++t)
            if (heading == kTabs[t].label || (heading == "Contact Category" && t == 6))
                tabs_->setCurrentIndex(t);
    });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* email = menu.addAction("Email...");
        QAction* copy = menu.addAction("Cop&y");
        connect(email, &QAction::triggered, this, &ContactsWindow::emailPressed);
        connect(copy, &QAction::triggered, this, &ContactsWindow::copyPressed);
        const bool any = model_->rowCount() > 0;
        email->setEnabled(any && static_cast<bool>(context_.email));
        copy->setEnabled(any);
        menu.exec(list_->viewport()->mapToGlobal(at));
    });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ContactsWindow::showLinkedTasks);
    if (model_->rowCount() > 0) list_->selectRow(0);
    showLinkedTasks();
    resize(760, 520);
}

void ContactsWindow::showLinkedTasks() {
    linked_->clear();
    const auto c = current();
    if (c)
        for (const qd::TaskEntry& t : qd::tasksOfContact(context_.ds, c->ClientID)) {
            auto* item = new QListWidgetItem(
                QString("#%1  %2").arg(t.taskId).arg(QString::fromStdString(t.description)), linked_);
            item->setData(Qt::UserRole, t.taskId);
        }
    if (linked_->count() > 0) linked_->setCurrentRow(0);
    link_->setEnabled(c.has_value());
    unlink_->setEnabled(linked_->count() > 0);
}

void ContactsWindow::linkTaskPressed() {
    const auto c = current();
    if (!c) return;
    const std::optional<int> task = selectTask(context_.ds, context_.ui, this);
    if (!task) return;
    switch (qd::linkContactToTask(context_.ds, c->ClientID, *task)) {
    case qd::LinkResult::AlreadyLinked:
        context_.ui.message("Link Task",
                            "The contact is already linked to task #" + std::to_string(*task) + ".",
                            qd::MessageIcon::Exclamation);
        break;
    case qd::LinkResult::NoSuchTask:
    case qd::LinkResult::NoSuchContact:
        context_.ui.message("Link Task", "The task or the contact has been deleted meanwhile.",
                            qd::MessageIcon::Exclamation);
        break;
    default:
        break;
    }
    showLinkedTasks();
    for (int i = 0; i < linked_->count(); ++i)
        if (linked_->item(i)->data(Qt::UserRole).toInt() == *task) linked_->setCurrentRow(i);
}

void ContactsWindow::unlinkTaskPressed() {
    const auto c = current();
    QListWidgetItem* item = linked_->currentItem();
    if (!c || !item) return;
    qd::unlinkContactFromTask(context_.ds, c->ClientID, item->data(Qt::UserRole).toInt());
    showLinkedTasks();
}

std::optional<qd::ContactRecord> ContactsWindow::current() const {
    const QModelIndex i = list_->currentIndex();
    if (!i.isValid()) return std::nullopt;
    return model_->record(i.row());
}

void ContactsWindow::tabChanged(int tab) {
    if (tab == 6 && category_.empty()) {
        if (auto c = selectContactCategory(context_.ds, context_.ui, this)) category_ = *c;
    }
    model_->setOrder(kTabs[tab].key, tab == 6 ? category_ : std::string());
    if (model_->rowCount() > 0) list_->selectRow(0);
}

void ContactsWindow::select(int clientId) {
    if (const int row = model_->rowOf(clientId); row >= 0) list_->selectRow(row);
}

void ContactsWindow::copyToClipboardPressed() {
    if (const auto c = current()) context_.ui.setClipboardText(qd::ContactCopyText(*c));
}

void ContactsWindow::edit(qd::ContactRecord start, const QString& title, bool isNew) {
    ContactForm form(title, start, qd::listContactCategories(context_.ds), context_.ui, this);
    if (context_.ui.runDialog(form) != QDialog::Accepted) return;
    qd::ContactRecord r = form.record();
    qd::Table<qd::ContactRecord> t(context_.ds, qd::tables::Contact());
    if (t.open() != qd::Level::Benign) return;
    if (isNew) {
        t.rec = r;
        t.rec.ClientID = 0;
        if (t.insert() != qd::Level::Benign) return;
    } else {
        t.rec.ClientID = start.ClientID;
        if (t.fetch("C_:KeyClientID") != qd::Level::Benign) return;
        t.rec = r;
        qd::RelationManager relations(t);
        if (relations.update() != qd::Level::Benign) {
            model_->reload();
            return;
        }
    }
    const int id = t.rec.ClientID;
    model_->reload();
    select(id);
}

void ContactsWindow::newPressed() {
    edit(qd::ContactRecord{}, "New Contact", true);
}

void ContactsWindow::copyPressed() {
    if (const auto c = current()) edit(*c, "New Contact", true);
}

void ContactsWindow::editPressed() {
    if (const auto c = current()) edit(*c, "Edit Contact ", false);
}

void ContactsWindow::deletePressed() {
    const auto c = current();
    if (!c) return;
    qd::Table<qd::ContactRecord> t(context_.ds, qd::tables::Contact());
    if (t.open() != qd::Level::Benign) return;
    t.rec.ClientID = c->ClientID;
    if (t.fetch("C_:KeyClientID") != qd::Level::Benign) return;
    qd::RelationManager(t).deleteRecord(true);
    model_->reload();
}

void ContactsWindow::emailPressed() {
    if (const auto c = current(); c && context_.email) context_.email(*c);
}

void ContactsWindow::selectCategoryPressed() {
    if (auto c = selectContactCategory(context_.ds, context_.ui, this)) {
        category_ = *c;
        if (tabs_->currentIndex() == 6)
            tabChanged(6);
        else
            tabs_->setCurrentIndex(6);
    }
}

std::optional<std::string> selectContactCategory(qd::DataSet& ds, qdui::QtUserInterface& ui,
                                                 QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName("SelectCategories");
    dialog.setWindowTitle("Select a Category");
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName("Categories");
    list->setAccessibleName("Categories");
    for (const std::string& c : qd::listContactCategories(ds))
        list->addItem(QString::fromStdString(c));
    if (list->count() > 0) list->setCurrentRow(0);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* select = buttons->addButton("&Select", QDialogButtonBox::AcceptRole);
    select->setObjectName("Select");
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("Cancel");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    if (ui.runDialog(dialog) != QDialog::Accepted || !list->currentItem()) return std::nullopt;
    return list->currentItem()->text().toStdString();
}

std::optional<int> selectTask(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName("SelectTask");
    dialog.setWindowTitle("Select a Task");
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    auto* find = new QLineEdit(&dialog);
    find->setObjectName("Find");
    find->setAccessibleName("Task number or description");
    form->addRow("&Find:", find);
    layout->addLayout(form);
    auto* list = new QListWidget(&dialog);
    list->setObjectName("Tasks");
    list->setAccessibleName("Tasks");
    layout->addWidget(list, 1);
    const auto fill = [&ds, list, find] {
        list->clear();
        for (const qd::TaskEntry& t : qd::findTasks(ds, find->text().toStdString(), kTaskChoices)) {
            auto* item = new QListWidgetItem(
                QString("#%1  %2").arg(t.taskId).arg(QString::fromStdString(t.description)), list);
            item->setData(Qt::UserRole, t.taskId);
        }
        if (list->count() > 0) list->setCurrentRow(0);
    };
    fill();
    QObject::connect(find, &QLineEdit::textChanged, &dialog, fill);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton("&Select", QDialogButtonBox::AcceptRole)->setObjectName("Select");
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("Cancel");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(420, 360);
    if (ui.runDialog(dialog) != QDialog::Accepted || !list->currentItem()) return std::nullopt;
    return list->currentItem()->data(Qt::UserRole).toInt();
}

std::optional<qd::ContactRecord> selectContact(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle("Contacts");
    auto* layout = new QVBoxLayout(&dialog);
    auto* window = new ContactsWindow(ContactsContext{ds, ui, {}}, true, &dialog);
    layout->addWidget(window);
    QObject::connect(window, &ContactsWindow::selected, &dialog, &QDialog::accept);
    dialog.resize(760, 420);
    if (ui.runDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return window->chosen();
}

} // namespace qdorgui
