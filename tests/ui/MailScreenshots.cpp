// Draws the messages list (also as a pick list), the message form, the contacts
// list with a contact's linked tasks, the contact form, the contact categories
// with their form and the reminder forwarding window with sample data into PNG files for the
// documentation: qd_mail_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "data/TableDefs.h"
#include "mail/ui/MailWindows.h"
#include "organizer/ContactTasks.h"
#include "schedule/ui/CategoryWindows.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableView>

#include <iostream>

namespace {

bool grabChild(QWidget* w, const QString& file) {
    QApplication::processEvents();
    QWidget* frame = w->parentWidget() ? w->parentWidget() : w;
    return frame->grab().save(file);
}

void addContact(qd::DataSet& ds, const char* last, const char* first, const char* email, const char* category,
                const char* phone) {
    qd::Table<qd::ContactRecord> t(ds, qd::tables::Contact());
    t.open();
    t.rec = {};
    t.rec.LastName = last;
    t.rec.FirstName = first;
    t.rec.Email = email;
    t.rec.ContactCategory = category;
    t.rec.WorkDayPhone = phone;
    t.rec.AddressLine1 = "12 Harbour Road";
    t.rec.PostalCode = "4021";
    t.insert();
}

void addMessage(qd::DataSet& ds, const char* type, const char* to, const char* name, const char* subject,
                qd::Date sent) {
    qd::Table<qd::MessagesRecord> t(ds, qd::tables::Messages());
    t.open();
    t.rec = {};
    t.rec.MailType = type;
    t.rec.EmailTo = to;
    t.rec.EmailToName = name;
    t.rec.Subject = subject;
    t.rec.LastDateSent = sent;
    t.rec.Message = "Hello,\n\nthe weekly figures are attached.\n\nAnn";
    t.insert();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_mail_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qduitest::Engine e;
    if (!e.runtime->open()) return 1;
    for (const char* c : {"Club", "Customers", "Family"}) {
        qd::Table<qd::ContactCategoriesRecord> t(e.ds, qd::tables::ContactCategories());
        t.open();
        t.rec.ContactCategory = c;
        t.insert();
    }
    addContact(e.ds, "Lee", "Ann", "ann.lee@example.org", "Club", "555-0101");
    addContact(e.ds, "Okafor", "Chidi", "chidi@example.net", "Customers", "555-0177");
    addContact(e.ds, "M\xC3\xBCller", "J\xC3\xBCrgen", "jm@example.de", "Customers", "555-0140");
    addContact(e.ds, "Santos", "Bea", "bea@example.com", "Family", "");
    addMessage(e.ds, "Email", "chidi@example.net", "Chidi Okafor", "Weekly figures", e.clock.today() - 3);
    addMessage(e.ds, "Mass Mailing", "N/A", "", "Club meeting on Friday", 0);
    addMessage(e.ds, "News", "comp.os.linux.misc", "", "Release notes", e.clock.today() - 20);

    qdmailui::MailWindows windows(*e.frame,
                                  {e.ds, e.ui, [&e] { return e.runtime->makeMailer(); }, [](int) {}});
    e.frame->resize(1100, 680);
    e.frame->show();
    bool ok = true;
    qdmailui::MessagesWindow* messages = windows.openMessages();
    messages->parentWidget()->resize(820, 300);
    messages->list()->selectRow(0);
    messages->list()->resizeColumnsToContents();
    ok = grabChild(messages, out + "/messages.png") && ok;

    qdmailui::MessageForm form("Edit E-mail Message", messages->model()->message(0), windows.context());
    form.show();
    ok = grabChild(&form, out + "/message-form.png") && ok;
    qdmailui::MessageForm mass("Edit E-mail Message", messages->model()->message(1), windows.context());
    mass.field("EmailToGroup")->setText("Club");
    mass.show();
    ok = grabChild(&mass, out + "/message-form-mass.png") && ok;

    // The contact's linked tasks show under the list.
    for (const char* d : {"Send the weekly figures", "Club newsletter"}) {
        qd::ScheduleRecord task{};
        task.Description = d;
        qd::linkContactToTask(e.ds, 1, e.addTask(task));
    }
    qdorgui::ContactsWindow* contacts = windows.openContacts();
    contacts->parentWidget()->resize(900, 420);
    contacts->list()->resizeColumnsToContents();
    contacts->list()->selectRow(0);
    ok = grabChild(contacts, out + "/contacts.png") && ok;
    qdorgui::ContactForm contact("Edit Contact ", contacts->model()->contact(0),
                                 {"Club", "Customers", "Family"}, e.ui);
    contact.show();
    ok = grabChild(&contact, out + "/contact-form.png") && ok;

    qdorgui::ContactCategoriesWindow* categories = windows.openContactCategories();
    categories->parentWidget()->resize(640, 460);
    categories->categories()->setCurrentRow(1);
    ok = grabChild(categories, out + "/contact-categories.png") && ok;
    qdschedui::CategoryForm category("Edit Contact Category", "Customers", e.ui);
    category.show();
    ok = grabChild(&category, out + "/contact-category-form.png") && ok;

    qdmailui::MessagesWindow* pick = new qdmailui::MessagesWindow(windows.context(), true);
    pick->resize(820, 300);
    pick->setWindowTitle("E-mail Messages (select)");
    pick->show();
    pick->list()->selectRow(1);
    ok = grabChild(pick, out + "/messages-select.png") && ok;
    delete pick;

    qdmailui::ForwardWindow forward("Dentist", "Call to confirm the appointment on Thursday.",
                                    windows.context());
    forward.field("Recipient")->setText("ann.lee@example.org");
    forward.field("RecipientName")->setText("Ann Lee");
    forward.show();
    ok = grabChild(&forward, out + "/forward-message.png") && ok;
    e.runtime->close();
    return ok ? 0 : 1;
}
