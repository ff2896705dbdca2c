#include "users/ui/UserWindows.h"

#include "data/Text.h"
#include "ui/QtUserInterface.h"
#include "ui/WindowParts.h"
#include "users/Users.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qdusersui {
namespace {

QString text(const std::string& s) {
    return QString::fromStdString(qd::text::trimmedRight(s));
}

} // namespace

// ---------------------------------------------------------------------------
// UsersModel

UsersModel::UsersModel(qd::DataSet& ds, QObject* parent)
    : RecordListModelOf(ds, qd::tables::Users(), "KeyUser", {}, parent) {}

QVariant UsersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) return text(record(index.row()).User);
    return {};
}

int UsersModel::rowOf(const QString& name) const {
    return rowOfKey("KeyUser", [&name](qd::UsersRecord& u) { u.User = name.toStdString(); });
}

// ---------------------------------------------------------------------------
// UserForm

UserForm::UserForm(const QString& title, const qd::UsersRecord& user, qd::UserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), original_(user) {
    setWindowTitle(title);
    setObjectName("UpdateUsers");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto line = [&](const char* name, const char* prompt, const std::string& value, int width) {
        auto* f = new QLineEdit(text(value), this);
        f->setObjectName(name);
        f->setAccessibleName(QString(prompt).remove('&').remove(':'));
        f->setMaxLength(width);
        form->addRow(prompt, f);
        return f;
    };
    name_ = line("User", "&User:", user.User, 40);
    password_ = line("Password", "&Password:", user.Password, 40);
    password_->setEchoMode(QLineEdit::Password);
    confirm_ = line("ConfirmPassword", "&Confirm Password:", user.ConfirmPassword, 40);
    confirm_->setEchoMode(QLineEdit::Password);
    usePassword_ = new QCheckBox("Use Pass&word", this);
    usePassword_->setObjectName("UsePassword");
    usePassword_->setAccessibleName("Use Password");
    usePassword_->setChecked(user.UsePassword != 0);
    form->addRow(QString(), usePassword_);
    auto* security = new QGroupBox("Access to Information", this);
    security->setObjectName("Security");
    security->setAccessibleName("Access to Information");
    auto* securityRow = new QHBoxLayout(security);
    personal_ = new QRadioButton("Pe&rsonal", security);
    personal_->setObjectName("Personal");
    personal_->setAccessibleName("Personal");
    allUsers_ = new QRadioButton("&All Users", security);
    allUsers_->setObjectName("AllUsers");
    allUsers_->setAccessibleName("All Users");
    securityRow->addWidget(personal_);
    securityRow->addWidget(allUsers_);
    if (qd::text::equalsNoCase(qd::text::trimmedRight(user.Security), qd::kSecurityAllUsers))
        allUsers_->setChecked(true);
    else if (qd::text::equalsNoCase(qd::text::trimmedRight(user.Security), qd::kSecurityPersonal))
        personal_->setChecked(true);
    form->addRow(security);
    sourcePath_ = line("SourcePath", "&Source Path:", user.SourcePath, 255);
    notes_ = new QPlainTextEdit(text(user.Notes), this);
    notes_->setObjectName("Notes");
    notes_->setAccessibleName("Notes");
    notes_->setTabChangesFocus(true);
    form->addRow("&Notes:", notes_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &UserForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &UserForm::reject);
    layout->addWidget(buttons);
    resize(440, sizeHint().height());
}

qd::UsersRecord UserForm::record() const {
    qd::UsersRecord r = original_;
    r.User = name_->text().trimmed().toStdString();
    r.Password = password_->text().toStdString();
    r.ConfirmPassword = confirm_->text().toStdString();
    r.UsePassword = usePassword_->isChecked() ? 1 : 0;
    r.Security = allUsers_->isChecked()   ? qd::kSecurityAllUsers
                 : personal_->isChecked() ? qd::kSecurityPersonal
                                          : qd::text::trimmedRight(original_.Security);
    r.SourcePath = sourcePath_->text().toStdString();
    // The notes hold at most 1000 characters.
    r.Notes = notes_->toPlainText().left(1000).toStdString();
    return r;
}

void UserForm::accept() {
    if (const std::string why = qd::checkUser(record()); !why.empty()) {
        ui_.message("Missing Information", why, qd::MessageIcon::Exclamation);
        name_->setFocus();
        return;
    }
    QDialog::accept();
}

// ---------------------------------------------------------------------------
// UsersWindow

UsersWindow::UsersWindow(qd::DataSet& ds, qdui::QtUserInterface& ui, QWidget* parent)
    : QWidget(parent), ds_(ds), ui_(ui) {
    setObjectName("BrowseUsers");
    setWindowTitle("Users");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QHBoxLayout(this);
    model_ = new UsersModel(ds_, this);
    list_ = new QListView(this);
    list_->setObjectName("Users");
    list_->setAccessibleName("Users");
    list_->setModel(model_);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const qd::TableDef& def = qd::tables::Users();
    using K = qdui::QueryFieldKind;
    query_ = new qdui::QueryBar({{def.findField("User"), "User", K::Text},
                                 {def.findField("Security"), "Security", K::Text},
                                 {def.findField("SourcePath"), "Data folder", K::Text},
                                 {def.findField("Notes"), "Notes", K::Text},
                                 {def.findField("UsePassword"), "Uses a password", K::Flag}},
                                "users", this);
    qdui::followQuery(query_, model_, list_);
    auto* column = new QVBoxLayout;
    column->addWidget(list_, 1);
    column->addWidget(query_->shown());
    layout->addLayout(column, 1);
    auto* buttons = new QVBoxLayout;
    auto add = [&](const char* name, const char* label) {
        return qdui::namedButton(this, label, name, buttons);
    };
    connect(add("Insert", "&Insert"), &QPushButton::clicked, this, &UsersWindow::insertPressed);
    connect(add("Change", "&Change"), &QPushButton::clicked, this, &UsersWindow::changePressed);
    connect(add("Delete", "&Delete"), &QPushButton::clicked, this, &UsersWindow::deletePressed);
    query_->addButtons(buttons);
    buttons->addStretch(1);
    connect(add("Close", "&Close"), &QPushButton::clicked, this, [this] { qdui::closeWindow(this); });
    layout->addLayout(buttons);
    connect(list_, &QListView::doubleClicked, this, &UsersWindow::changePressed);
    if (model_->rowCount() > 0) list_->setCurrentIndex(model_->index(0));
}

QString UsersWindow::current() const {
    const QModelIndex i = list_->currentIndex();
    return i.isValid() ? model_->data(i, Qt::DisplayRole).toString() : QString();
}

void UsersWindow::select(const QString& name) {
    const int row = model_->rowOf(name);
    if (row >= 0) list_->setCurrentIndex(model_->index(row));
}

void UsersWindow::insertPressed() {
    UserForm form(qd::kAddUserTitle, qd::UsersRecord{}, ui_, this);
    if (ui_.runDialog(form) != QDialog::Accepted) return;
    const qd::UsersRecord r = form.record();
    // A name already there is refused by the key with its message.
    if (qd::addUser(ds_, r) != qd::Level::Benign) return;
    model_->reload();
    select(QString::fromStdString(r.User));
}

void UsersWindow::changePressed() {
    const QModelIndex i = list_->currentIndex();
    if (!i.isValid()) return;
    const qd::UsersRecord before = model_->record(i.row());
    UserForm form(qd::kChangeUserTitle, before, ui_, this);
    if (ui_.runDialog(form) != QDialog::Accepted) return;
    const qd::UsersRecord r = form.record();
    if (qd::changeUser(ds_, qd::text::trimmedRight(before.User), r) != qd::Level::Benign) {
        model_->reload();
        return;
    }
    model_->reload();
    select(QString::fromStdString(r.User));
}

void UsersWindow::deletePressed() {
    const QString name = current();
    if (name.isEmpty()) return;
    qd::deleteUser(ds_, name.toStdString(), true);
    model_->reload();
}

} // namespace qdusersui
