#include "mail/ui/MessageWindows.h"

#include "data/IniFile.h"
#include "data/Pictures.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "mail/MessageRules.h"
#include "organizer/Contacts.h"
#include "organizer/ui/ContactWindows.h"
#include "ui/QtUserInterface.h"
#include "ui/QueryDialog.h"
#include "ui/WindowParts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace qdmailui {
namespace {

QString text(const std::string& s) {
    return QString::fromStdString(qd::text::trimmedRight(s));
}

constexpr const char* kColumns[] = {"E-mail ID", "E-mail To", "E-mail To Name", "Subject", "Last Date Sent",
                                    "CC",        "BCC",       "Attachment"};

struct SortTab {
    const char* label;
    const char* key;
};
const SortTab kTabs[] = {{"E-mail ID", "M_:KeyEmailID"},
                         {"E-mail To (Contact)", "M_:KeyContact"},
                         {"Subject", "M_:KeySubject"},
                         {"Last Date Sent", "M_:KeyLastDateSent"}};

QLineEdit* lineEdit(QWidget* parent, const char* name, const char* accessible, int width) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setAccessibleName(accessible);
    e->setMaxLength(width);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const char* label) {
    return qdui::namedButton(parent, label, name);
}

// Runs a mass mailing behind a progress window that can cancel it between mails.
int sendWithProgress(qd::Mailer& mailer, const qd::MessagesRecord& m, int emailId, bool inBuffer,
                     QWidget* parent) {
    const bool mass = qd::text::equalsNoCase(qd::text::trimmed(m.MailType), "Mass Mailing");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::unique_ptr<QProgressDialog> progress;
    if (mass) {
        progress = std::make_unique<QProgressDialog>("Sending the mass mailing...", "Cancel", 0, 0, parent);
        progress->setObjectName("MassMailingProgress");
        progress->setWindowTitle("Mail");
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        QProgressDialog* p = progress.get();
        mailer.setProgress([p](int done, int total) {
            p->setMaximum(total);
            p->setValue(done);
            QApplication::processEvents();
            return !p->wasCanceled();
        });
    }
    const int r = mailer.SendStoredMessage(emailId, inBuffer, false, inBuffer ? &m : nullptr);
    QApplication::restoreOverrideCursor();
    return r;
}

std::string massSummary(const qd::MassMailingSummary& s) {
    std::string t = std::to_string(s.sent) + " sent";
    if (s.alreadySent > 0) t += ", " + std::to_string(s.alreadySent) + " sent before";
    if (s.failed > 0) t += ", " + std::to_string(s.failed) + " failed";
    t += " of " + std::to_string(s.recipients) + " contacts";
    if (s.cancelled) t += " (cancelled: sending the message again goes on where it stopped)";
    return t;
}

} // namespace

// ---------------------------------------------------------------------------
// MessagesModel

MessagesModel::MessagesModel(qd::DataSet& ds, QObject* parent)
    : RecordListModelOf(ds, qd::tables::Messages(), "M_:KeyEmailID",
                        {std::begin(kColumns), std::end(kColumns)}, parent) {}

QVariant MessagesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    const qd::MessagesRecord m = record(index.row());
    switch (index.column()) {
    case 0:
        return m.EmailID;
    case 1:
        return text(m.EmailTo);
    case 2:
        return text(m.EmailToName);
    case 3:
        return text(m.Subject);
    case 4:
        return QString::fromStdString(qd::formatDate(m.LastDateSent, "@d17b"));
    case 5:
        return text(m.CC);
    case 6:
        return text(m.BCC);
    case 7:
        return text(m.Attachment);
    default:
        return {};
    }
}

int MessagesModel::rowOf(int emailId) const {
    return rowOfKey(
        "M_:KeyEmailID", [emailId](qd::MessagesRecord& m) { m.EmailID = emailId; },
        [emailId](const qd::MessagesRecord& m) { return m.EmailID == emailId; });
}

// ---------------------------------------------------------------------------
// MessageForm

MessageForm::MessageForm(const QString& title, const qd::MessagesRecord& message, MailUiContext& context,
                         QWidget* parent)
    : QDialog(parent), context_(context), original_(message) {
    setWindowTitle(title);
    setObjectName("UpdateMessages");
    setAccessibleName("Update the Messages File");
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName("Tabs");
    auto* general = new QWidget(tabs);
    auto* grid = new QGridLayout(general);
    int row = 0;
    const auto prompt = [&](const char* label, QWidget* field, QWidget* extra = nullptr) {
        auto* l = new QLabel(label, general);
        l->setBuddy(field);
        grid->addWidget(l, row, 0);
        grid->addWidget(field, row, 1);
        if (extra) grid->addWidget(extra, row, 2);
        ++row;
        return l;
    };
    type_ = new QComboBox(general);
    type_->setObjectName("MailType");
    type_->setAccessibleName("Mail Type");
    for (const auto t : qd::kMailTypes)
        type_->addItem(QString::fromUtf8(t.data(), static_cast<int>(t.size())));
    prompt("Mail Type:", type_);
    to_ = lineEdit(general, "EmailTo", "To", 255);
    selectContact_ = button(general, "SelectContact", "Select Contact to email");
    toPrompt_ = prompt("*To:", to_, selectContact_);
    group_ = lineEdit(general, "EmailToGroup", "Category", 20);
    selectCategory_ = button(general, "SelectCategory", "Select Contact Category");
    groupPrompt_ = prompt("Cate&gory:", group_, selectCategory_);
    name_ = lineEdit(general, "EmailToName", "Name", 255);
    namePrompt_ = prompt("Name:", name_);
    cc_ = lineEdit(general, "CC", "Carbon Copy", 255);
    ccPrompt_ = prompt("CC:", cc_);
    bcc_ = lineEdit(general, "BCC", "Blind Carbon Copy", 255);
    bccPrompt_ = prompt("BCC:", bcc_);
    subject_ = lineEdit(general, "Subject", "Subject", 255);
    prompt("*Subject:", subject_);
    attachment_ = lineEdit(general, "Attachment", "Attachment file name", 255);
    auto* selectFile = button(general, "SelectFile", "Select file");
    prompt("Attachment:", attachment_, selectFile);
    grid->setRowStretch(row, 1);
    grid->addWidget(new QLabel("* indicates required field", general), row + 1, 0, 1, 3);
    tabs->addTab(general, "General");
    body_ = new QPlainTextEdit(tabs);
    body_->setObjectName("Message");
    body_->setAccessibleName("Message");
    tabs->addTab(body_, "Message");
    layout->addWidget(tabs);

    auto* buttons = new QDialogButtonBox(this);
    sendNow_ = buttons->addButton("&Send Now", QDialogButtonBox::ActionRole);
    sendNow_->setObjectName("SendNow");
    sendNow_->setAccessibleName("Send Now");
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setObjectName("OK");
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("Cancel");
    connect(ok, &QPushButton::clicked, this, &MessageForm::accept);
    connect(cancel, &QPushButton::clicked, this, &MessageForm::reject);
    connect(sendNow_, &QPushButton::clicked, this, &MessageForm::sendNowPressed);
    layout->addWidget(buttons);

    display(message);
    recipientBefore_ = to_->text();
    connect(type_, &QComboBox::currentTextChanged, this, &MessageForm::mailTypeChanged);
    connect(to_, &QLineEdit::editingFinished, this, &MessageForm::recipientLeft);
    connect(group_, &QLineEdit::editingFinished, this, &MessageForm::categoryLeft);
    connect(attachment_, &QLineEdit::editingFinished, this, &MessageForm::attachmentLeft);
    connect(selectContact_, &QPushButton::clicked, this, &MessageForm::selectContactPressed);
    connect(selectCategory_, &QPushButton::clicked, this, &MessageForm::selectCategoryPressed);
    connect(selectFile, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getOpenFileName(this, "Choose a File", attachment_->text(), "All Files (*)");
        if (file.isEmpty()) return;
        attachment_->setText(file);
        attachmentLeft();
    });
    mailTypeChanged();
    resize(560, 420);
}

void MessageForm::display(const qd::MessagesRecord& m) {
    const int at = type_->findText(text(m.MailType), Qt::MatchFixedString);
    type_->setCurrentIndex(at >= 0 ? at : 0);
    to_->setText(text(m.EmailTo));
    group_->setText(text(m.EmailToGroup));
    name_->setText(text(m.EmailToName));
    cc_->setText(text(m.CC));
    bcc_->setText(text(m.BCC));
    subject_->setText(text(m.Subject));
    attachment_->setText(text(m.Attachment));
    body_->setPlainText(text(m.Message));
}

qd::MessagesRecord MessageForm::record() const {
    qd::MessagesRecord m = original_;
    m.MailType = type_->currentText().toStdString();
    m.EmailTo = to_->text().toStdString();
    m.EmailToGroup = group_->text().toStdString();
    m.EmailToName = name_->text().toStdString();
    m.CC = cc_->text().toStdString();
    m.BCC = bcc_->text().toStdString();
    m.Subject = subject_->text().toStdString();
    m.Attachment = attachment_->text().toStdString();
    m.Message = body_->toPlainText().left(10000).toStdString();
    return m;
}

QLineEdit* MessageForm::field(const char* name) const {
    return findChild<QLineEdit*>(name);
}

QWidget* MessageForm::widget(const char* name) const {
    return findChild<QWidget*>(name);
}

void MessageForm::mailTypeChanged() {
    const qd::MessageFormShape shape = qd::messageFormShape(type_->currentText().toStdString());
    toPrompt_->setText(QString::fromStdString(shape.recipientPrompt));
    toPrompt_->setVisible(shape.recipient);
    to_->setVisible(shape.recipient);
    selectContact_->setVisible(shape.contactButton);
    for (QWidget* w : std::initializer_list<QWidget*>{namePrompt_, name_, ccPrompt_, cc_, bccPrompt_, bcc_})
        w->setVisible(shape.nameCcBcc);
    for (QWidget* w : std::initializer_list<QWidget*>{groupPrompt_, group_, selectCategory_})
        w->setVisible(shape.group);
    qd::MessagesRecord m = record();
    qd::applyMailTypeDefaults(m, qd::readLastUsed(context_.ds, "LastNewsgroup"),
                              qd::readLastUsed(context_.ds, "LastMassMailing"));
    to_->setText(text(m.EmailTo));
    group_->setText(text(m.EmailToGroup));
}

void MessageForm::recipientLeft() {
    const QString now = to_->text().trimmed();
    if (now == recipientBefore_) return;
    recipientBefore_ = now;
    if (now.isEmpty() || !name_->text().trimmed().isEmpty()) return;
    if (const auto c = qd::findContactByEmail(context_.ds, now.toStdString())) {
        original_.ContactID = c->ClientID;
        name_->setText(QString::fromStdString(qd::ContactDisplayName(*c)));
    }
}

void MessageForm::categoryLeft() {
    qd::MessagesRecord m = record();
    qd::categoryChosen(m);
    to_->setText(text(m.EmailTo));
}

void MessageForm::attachmentLeft() {
    qd::MessagesRecord m = record();
    qd::attachmentChosen(m);
    subject_->setText(text(m.Subject));
}

void MessageForm::selectContactPressed() {
    const auto c = qdorgui::selectContact(context_.ds, context_.ui, this);
    if (!c) return;
    qd::MessagesRecord m = record();
    qd::addressMessageTo(m, *c);
    original_.ContactID = m.ContactID;
    to_->setText(text(m.EmailTo));
    name_->setText(text(m.EmailToName));
    recipientBefore_ = to_->text();
}

void MessageForm::selectCategoryPressed() {
    const auto c = qdorgui::selectContactCategory(context_.ds, context_.ui, this);
    if (!c) return;
    group_->setText(QString::fromStdString(*c));
    categoryLeft();
}

void MessageForm::sendNowPressed() {
    if (!context_.makeMailer) return;
    const qd::MessagesRecord m = record();
    qd::Mailer mailer = context_.makeMailer();
    const int r = sendWithProgress(mailer, m, 0, true, this);
    std::string shown = qd::text::trimmed(m.EmailTo);
    std::string detail;
    if (mailer.lastMassMailing().recipients > 0)
        detail = "\r\n" + massSummary(mailer.lastMassMailing());
    else if (r != 0 && r != 1)
        detail = "\r\n" + mailer.lastErrorText();
    if (r == 0)
        context_.ui.message("Mail", "Mail sent:  " + shown + detail, qd::MessageIcon::Information);
    else if (r != 1) // the "not setup" messages were shown already
        context_.ui.message("Mail Error", "Could not send:  " + shown + detail, qd::MessageIcon::Exclamation);
}

void MessageForm::accept() {
    qd::MessagesRecord m = record();
    // A mass mailing's recipient is hidden: its category stands for it.
    qd::categoryChosen(m);
    to_->setText(text(m.EmailTo));
    if (const std::string missing = qd::missingMessageField(m); !missing.empty()) {
        context_.ui.message("Missing Information", missing + " must be entered.",
                            qd::MessageIcon::Exclamation);
        (missing == "Subject" ? subject_ : to_)->setFocus();
        return;
    }
    qd::rememberLastUsed(context_.ds, m);
    QDialog::accept();
}

// ---------------------------------------------------------------------------
// MessagesWindow

qd::Level saveMessage(qd::DataSet& ds, qd::MessagesRecord& m, bool isNew) {
    qd::Table<qd::MessagesRecord> t(ds, qd::tables::Messages());
    if (const qd::Level l = t.open(); l != qd::Level::Benign) return l;
    if (isNew) {
        t.rec = m;
        t.rec.EmailID = 0;
        const qd::Level l = t.insert();
        if (l == qd::Level::Benign) m.EmailID = t.rec.EmailID;
        return l;
    }
    t.rec.EmailID = m.EmailID;
    if (const qd::Level l = t.fetch("M_:KeyEmailID"); l != qd::Level::Benign) return l;
    t.rec = m;
    return qd::RelationManager(t).update();
}

MessagesWindow::MessagesWindow(MailUiContext& context, bool selecting, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("BrowseMessages");
    setWindowTitle("E-mail Messages");
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName("SortOrder");
    tabs_->setAccessibleName("Sort order");
    for (const SortTab& t : kTabs)
        tabs_->addTab(t.label);
    layout->addWidget(tabs_);
    model_ = new MessagesModel(context_.ds, this);
    list_ = qdui::recordTable(this, "Messages", "E-mail Messages", model_);
    layout->addWidget(list_, 1);
    const qd::TableDef& def = qd::tables::Messages();
    query_ =
        new qdui::QueryBar({{def.findField("EmailID"), "E-mail ID", qdui::QueryFieldKind::Number},
                            {def.findField("MailType"), "Mail Type", qdui::QueryFieldKind::Text},
                            {def.findField("EmailTo"), "E-mail To", qdui::QueryFieldKind::Text},
                            {def.findField("EmailToName"), "E-mail To Name", qdui::QueryFieldKind::Text},
                            {def.findField("EmailToGroup"), "Category", qdui::QueryFieldKind::Text},
                            {def.findField("Subject"), "Subject", qdui::QueryFieldKind::Text},
                            {def.findField("LastDateSent"), "Last Date Sent", qdui::QueryFieldKind::Date}},
                           "messages", this);
    qdui::followQuery(query_, model_, list_);
    layout->addWidget(query_->shown());
    auto* row = new QHBoxLayout;
    const auto add = [&](const char* name, const char* label) {
        return qdui::namedButton(this, label, name, row);
    };
    QPushButton* send = add("SendEmail", "Send E-&mail");
    send->setToolTip("Send highlighted e-mail message");
    send->setEnabled(static_cast<bool>(context_.queueSend));
    connect(send, &QPushButton::clicked, this, &MessagesWindow::sendPressed);
    QPushButton* select = add("Select", "&Select");
    select->setVisible(selecting);
    connect(select, &QPushButton::clicked, this, &MessagesWindow::selectPressed);
    connect(add("New", "&New"), &QPushButton::clicked, this, [this] { newPressed(); });
    connect(add("Copy", "Cop&y"), &QPushButton::clicked, this, &MessagesWindow::copyPressed);
    connect(add("Edit", "&Edit"), &QPushButton::clicked, this, &MessagesWindow::editPressed);
    connect(add("Delete", "&Delete"), &QPushButton::clicked, this, &MessagesWindow::deletePressed);
    query_->addButtons(row);
    row->addStretch(1);
    connect(add("Close", "Cl&ose"), &QPushButton::clicked, this, [this] { qdui::closeWindow(this); });
    layout->addLayout(row);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) {
        model_->setOrder(kTabs[tab].key);
        if (model_->rowCount() > 0) list_->selectRow(0);
    });
    connect(list_, &QTableView::doubleClicked, this, [this, selecting] {
        if (selecting)
            selectPressed();
        else
            editPressed();
    });
    if (model_->rowCount() > 0) list_->selectRow(0);
    resize(760, 400);
}

std::optional<qd::MessagesRecord> MessagesWindow::current() const {
    const QModelIndex i = list_->currentIndex();
    if (!i.isValid()) return std::nullopt;
    return model_->record(i.row());
}

void MessagesWindow::select(int emailId) {
    if (const int row = model_->rowOf(emailId); row >= 0) list_->selectRow(row);
}

void MessagesWindow::selectPressed() {
    chosen_ = current();
    if (chosen_) emit selected();
}

std::optional<qd::MessagesRecord> selectMessage(MailUiContext& context, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName("SelectMessage");
    dialog.setWindowTitle("E-mail Messages");
    auto* layout = new QVBoxLayout(&dialog);
    auto* window = new MessagesWindow(context, true, &dialog);
    layout->addWidget(window);
    QObject::connect(window, &MessagesWindow::selected, &dialog, &QDialog::accept);
    dialog.resize(780, 420);
    if (context.ui.runDialog(dialog) != QDialog::Accepted) return std::nullopt;
    return window->chosen();
}

void MessagesWindow::sendPressed() {
    const auto m = current();
    if (!m || m->EmailID == 0 || !context_.queueSend) return;
    context_.queueSend(m->EmailID);
}

void MessagesWindow::edit(qd::MessagesRecord start, const QString& title, bool isNew) {
    MessageForm form(title, start, context_, this);
    if (context_.ui.runDialog(form) != QDialog::Accepted) return;
    qd::MessagesRecord m = form.record();
    qd::categoryChosen(m);
    if (saveMessage(context_.ds, m, isNew) != qd::Level::Benign) {
        model_->reload();
        return;
    }
    model_->reload();
    select(m.EmailID);
}

void MessagesWindow::newPressed(int contactId) {
    qd::MessagesRecord m{};
    m.MailType = "Email";
    if (contactId != 0)
        if (const auto c = qd::findContact(context_.ds, contactId)) qd::addressMessageTo(m, *c);
    edit(m, "New E-mail Message", true);
}

void MessagesWindow::newForContact(const qd::ContactRecord& contact) {
    newPressed(contact.ClientID);
}

void MessagesWindow::copyPressed() {
    if (auto m = current()) {
        m->LastDateSent = 0;
        edit(*m, "New E-mail Message", true);
    }
}

void MessagesWindow::editPressed() {
    if (const auto m = current()) edit(*m, "Edit E-mail Message", false);
}

void MessagesWindow::deletePressed() {
    const auto m = current();
    if (!m) return;
    qd::Table<qd::MessagesRecord> t(context_.ds, qd::tables::Messages());
    if (t.open() != qd::Level::Benign) return;
    t.rec.EmailID = m->EmailID;
    if (t.fetch("M_:KeyEmailID") != qd::Level::Benign) return;
    qd::RelationManager(t).deleteRecord(true);
    model_->reload();
}

// ---------------------------------------------------------------------------
// ForwardWindow

ForwardWindow::ForwardWindow(const std::string& title, const std::string& message, MailUiContext& context,
                             QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName("GenerateEmail");
    setWindowTitle("Email Message");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const qd::IniFile ini(context_.ds.folder(), "QDMSG.INI");
    address_ = lineEdit(this, "Recipient", "Recipient's E-mail address", 255);
    address_->setText(QString::fromStdString(ini.get("Email", "Recipient")));
    form->addRow("Recipient's E-mail address:", address_);
    name_ = lineEdit(this, "RecipientName", "Recipient's Name", 60);
    name_->setText(QString::fromStdString(ini.get("Email", "RecipientName")));
    form->addRow("Recipient's Name:", name_);
    subject_ = lineEdit(this, "Subject", "Subject", 60);
    subject_->setText(text(title));
    form->addRow("Subject:", subject_);
    layout->addLayout(form);
    layout->addWidget(new QLabel("Message", this));
    message_ = new QPlainTextEdit(QString::fromStdString(message), this);
    message_->setObjectName("Message");
    message_->setAccessibleName("Message");
    layout->addWidget(message_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &ForwardWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ForwardWindow::reject);
    layout->addWidget(buttons);
    resize(480, 380);
}

QLineEdit* ForwardWindow::field(const char* name) const {
    return findChild<QLineEdit*>(name);
}

void ForwardWindow::accept() {
    const std::string address = address_->text().trimmed().toStdString();
    const std::string name = name_->text().trimmed().toStdString();
    if (context_.makeMailer) {
        qd::Mailer mailer = context_.makeMailer();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result_ = mailer.GenerateEmail(subject_->text().toStdString(), message_->toPlainText().toStdString(),
                                       address, name);
        QApplication::restoreOverrideCursor();
    }
    qd::IniFile ini(context_.ds.folder(), "QDMSG.INI");
    ini.set("Email", "Recipient", address);
    ini.set("Email", "RecipientName", name);
    QDialog::accept();
}

} // namespace qdmailui
