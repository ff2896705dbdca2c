#include "mail/ui/MailWindows.h"

#include "ui/MainFrame.h"
#include "ui/QtUserInterface.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabBar>

namespace qdmailui {
namespace {

QMdiSubWindow* subWindowOf(QWidget* w) {
    return w ? qobject_cast<QMdiSubWindow*>(w->parentWidget()) : nullptr;
}

} // namespace

MailWindows::MailWindows(qdui::MainFrame& frame, MailUiContext context)
    : QObject(&frame), frame_(frame), context_(std::move(context)) {
    frame.setHandler("EmailMessages", [this] { openMessages(); });
    frame.setHandler("Contacts", [this] { openContacts(); });
    frame.setHandler("ContactCategories", [this] { openContactCategories(); });
    frame.setHandler("SetupContactCategories", [this] { openContactCategories(); });
}

void MailWindows::addChild(QWidget* w, QSize size) {
    QMdiSubWindow* sub = frame_.mdiArea()->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(size);
    sub->show();
    frame_.mdiArea()->setActiveSubWindow(sub);
}

MessagesWindow* MailWindows::openMessages() {
    if (QMdiSubWindow* sub = subWindowOf(messages_)) {
        frame_.mdiArea()->setActiveSubWindow(sub);
        return messages_;
    }
    if (openGuard_ && !openGuard_()) return nullptr;
    auto* w = new MessagesWindow(context_);
    messages_ = w;
    addChild(w, QSize(780, 420));
    return w;
}

qdorgui::ContactsWindow* MailWindows::openContacts() {
    if (QMdiSubWindow* sub = subWindowOf(contacts_)) {
        frame_.mdiArea()->setActiveSubWindow(sub);
        return contacts_;
    }
    auto* w = new qdorgui::ContactsWindow(
        qdorgui::ContactsContext{context_.ds, context_.ui, [this](const qd::ContactRecord& c) {
                                     if (MessagesWindow* m = openMessages()) m->newForContact(c);
                                 }});
    contacts_ = w;
    addChild(w, QSize(820, 440));
    return w;
}

qdorgui::ContactCategoriesWindow* MailWindows::openContactCategories() {
    if (QMdiSubWindow* sub = subWindowOf(categories_)) {
        frame_.mdiArea()->setActiveSubWindow(sub);
        return categories_;
    }
    auto* w = new qdorgui::ContactCategoriesWindow(context_.ds, context_.ui);
    categories_ = w;
    addChild(w, QSize(640, 480));
    return w;
}

void MailWindows::forward(const std::string& title, const std::string& message) {
    ForwardWindow w(title, message, context_, &frame_);
    context_.ui.runDialog(w);
}

} // namespace qdmailui
