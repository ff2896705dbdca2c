#include "schedule/ui/CategoryWindows.h"

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "schedule/ui/TaskListWindows.h"
#include "ui/QtUserInterface.h"
#include "ui/WindowParts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qdschedui {

CategoryForm::CategoryForm(const QString& title, const QString& name, qd::UserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui) {
    setWindowTitle(title);
    setObjectName("UpdateCategories");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    field_ = new QLineEdit(name, this);
    field_->setObjectName("Category");
    field_->setAccessibleName("Category");
    field_->setMaxLength(20);
    form->addRow("&Category:", field_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CategoryForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CategoryForm::reject);
    layout->addWidget(buttons);
    resize(320, sizeHint().height());
}

QString CategoryForm::name() const {
    return field_->text().trimmed();
}

void CategoryForm::accept() {
    if (name().isEmpty()) {
        ui_.message("Missing Information", "Category must be entered.", qd::MessageIcon::Exclamation);
        field_->setFocus();
        return;
    }
    QDialog::accept();
}

CategoriesWindow::CategoriesWindow(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent)
    : QWidget(parent), ds_(ds), ui_(ui) {
    setObjectName("BrowseScheduleCategories");
    setWindowTitle("Task Categories");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QHBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setObjectName("Categories");
    list_->setAccessibleName("Categories");
    query_ = new qdui::QueryBar(
        {{qd::tables::Categories().findField("Category"), "Category", qdui::QueryFieldKind::Text}},
        "categories", this);
    connect(query_, &qdui::QueryBar::changed, this, [this] {
        reload();
        if (list_->count() > 0 && !list_->currentItem()) list_->setCurrentRow(0);
    });
    auto* column = new QVBoxLayout;
    column->addWidget(list_, 1);
    column->addWidget(query_->shown());
    layout->addLayout(column, 1);
    auto* buttons = new QVBoxLayout;
    auto add = [&](const char* name, const char* text) {
        return qdui::namedButton(this, text, name, buttons);
    };
    connect(add("Insert", "&Insert"), &QPushButton::clicked, this, &CategoriesWindow::insertPressed);
    connect(add("Change", "&Change"), &QPushButton::clicked, this, &CategoriesWindow::changePressed);
    connect(add("Delete", "&Delete"), &QPushButton::clicked, this, &CategoriesWindow::deletePressed);
    query_->addButtons(buttons);
    buttons->addStretch(1);
    connect(add("Close", "&Close"), &QPushButton::clicked, this, [this] { qdui::closeWindow(this); });
    layout->addLayout(buttons);
    connect(list_, &QListWidget::itemDoubleClicked, this, &CategoriesWindow::changePressed);
    reload();
    if (list_->count() > 0) list_->setCurrentRow(0);
}

void CategoriesWindow::reload() {
    const QString keep = current();
    list_->clear();
    list_->addItems(categoryNames(ds_, query_->query()));
    if (!keep.isEmpty()) select(keep);
}

void CategoriesWindow::select(const QString& name) {
    const auto found = list_->findItems(name, Qt::MatchFixedString);
    if (!found.isEmpty()) list_->setCurrentItem(found.first());
}

QString CategoriesWindow::current() const {
    return list_->currentItem() ? list_->currentItem()->text() : QString();
}

bool CategoriesWindow::addCategory(const std::string& name) {
    qd::Table<qd::CategoriesRecord> t(ds_, qd::tables::Categories());
    if (t.open() != qd::Level::Benign) return false;
    t.rec.Category = name;
    // A duplicate name is refused by the key with its message.
    if (t.insert() != qd::Level::Benign) return false;
    reload();
    select(QString::fromStdString(t.rec.Category));
    return true;
}

bool CategoriesWindow::renameCategory(const std::string& from, const std::string& to) {
    qd::Table<qd::CategoriesRecord> t(ds_, qd::tables::Categories());
    if (t.open() != qd::Level::Benign) return false;
    t.rec.Category = from;
    if (t.fetch("KeyCategory") != qd::Level::Benign) {
        ui_.message("Task Categories", "The category " + from + " is not there any more.",
                    qd::MessageIcon::Exclamation);
        reload();
        return false;
    }
    t.rec.Category = to;
    // Tasks that use the category restrict the change (message, old name kept).
    if (qd::RelationManager(t).update() != qd::Level::Benign || t.rec.Category != to) {
        reload();
        return false;
    }
    reload();
    select(QString::fromStdString(to));
    return true;
}

bool CategoriesWindow::deleteCategory(const std::string& name) {
    qd::Table<qd::CategoriesRecord> t(ds_, qd::tables::Categories());
    if (t.open() != qd::Level::Benign) return false;
    t.rec.Category = name;
    if (t.fetch("KeyCategory") != qd::Level::Benign) {
        reload();
        return false;
    }
    const bool deleted = qd::RelationManager(t).deleteRecord(true) == qd::Level::Benign;
    reload();
    return deleted;
}

void CategoriesWindow::insertPressed() {
    CategoryForm form("New Category", {}, ui_, this);
    if (ui_.runDialog(form) != QDialog::Accepted) return;
    addCategory(form.name().toStdString());
}

void CategoriesWindow::changePressed() {
    const QString from = current();
    if (from.isEmpty()) return;
    CategoryForm form("Edit Category", from, ui_, this);
    if (ui_.runDialog(form) != QDialog::Accepted || form.name() == from) return;
    renameCategory(from.toStdString(), form.name().toStdString());
}

void CategoriesWindow::deletePressed() {
    const QString name = current();
    if (!name.isEmpty()) deleteCategory(name.toStdString());
}

} // namespace qdschedui
