// Draws the housekeeping window, the list of users and the user form with
// sample data into PNG files for the documentation:
// qd_users_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "users/Users.h"
#include "users/ui/UsersWindows.h"

#include <QApplication>
#include <QListView>
#include <QMdiSubWindow>

#include <iostream>

namespace {

bool grabChild(QWidget* w, const QString& file) {
    QApplication::processEvents();
    QWidget* frame = w->parentWidget() ? w->parentWidget() : w;
    return frame->grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_users_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qduitest::Engine e;
    if (!e.runtime->open()) return 1;
    e.runtime->settings().User = "ann";
    for (const char* name : {"ann", "bob", "carla", "dieter"}) {
        qd::UsersRecord u{};
        u.User = name;
        u.Security = name[0] == 'a' ? qd::kSecurityAllUsers : qd::kSecurityPersonal;
        qd::addUser(e.ds, u);
    }
    qdusersui::UsersWindows windows(*e.frame, e.ui, {e.ds, e.runtime->settings(), {}, [] {}, [] {}, [] {}});
    e.frame->resize(1000, 640);
    e.frame->show();

    bool ok = true;
    auto* housekeeping = windows.openHousekeeping();
    housekeeping->parentWidget()->resize(380, 520);
    ok = grabChild(housekeeping, out + "/housekeeping.png") && ok;

    auto* users = windows.openUsers();
    users->parentWidget()->resize(360, 260);
    users->list()->setCurrentIndex(users->model()->index(1));
    ok = grabChild(users, out + "/users.png") && ok;

    qd::UsersRecord bob = users->model()->record(1);
    bob.SourcePath = "/srv/quandrel/bob";
    bob.Notes = "Evening shift; shares the team's reminders.";
    qdusersui::UserForm form(qd::kChangeUserTitle, bob, e.ui);
    form.show();
    QApplication::processEvents();
    ok = form.grab().save(out + "/user-form.png") && ok;
    e.runtime->close();
    return ok ? 0 : 1;
}
