// Opens the mail and address-book windows as child windows of the main frame
// (the menu's "&E-mail Messages", "&Contacts", "Co&ntact Categories") and the
// window that forwards a reminder by mail.
#pragma once

#include "mail/ui/MessageWindows.h"
#include "organizer/ui/ContactCategoryWindows.h"
#include "organizer/ui/ContactWindows.h"

#include <QObject>
#include <QPointer>

namespace qdui {
class MainFrame;
}

namespace qdmailui {

class MailWindows : public QObject {
    Q_OBJECT
public:
    MailWindows(qdui::MainFrame& frame, MailUiContext context);

    // The messages list (raised when open); nullptr when the guard refused it.
    MessagesWindow* openMessages();
    // Asked before the messages list opens (the system lock); none: it always opens.
    void setOpenGuard(std::function<bool()> guard) { openGuard_ = std::move(guard); }
    qdorgui::ContactsWindow* openContacts();
    qdorgui::ContactCategoriesWindow* openContactCategories();
    // "&Email" of a reminder window.
    void forward(const std::string& title, const std::string& message);
    MailUiContext& context() { return context_; }

private:
    void addChild(QWidget* w, QSize size);

    qdui::MainFrame& frame_;
    MailUiContext context_;
    QPointer<MessagesWindow> messages_;
    std::function<bool()> openGuard_;
    QPointer<qdorgui::ContactsWindow> contacts_;
    QPointer<qdorgui::ContactCategoriesWindow> categories_;
};

} // namespace qdmailui
