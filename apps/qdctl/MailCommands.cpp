// mail send | mail test | mail password, contacts list | contacts copy: mail and
// the address book without a window.
#include "MailCommands.h"

#include "FieldValues.h"
#include "TerminalFrame.h"

#include "data/Text.h"
#include "mail/Mailer.h"
#include "organizer/ContactTasks.h"
#include "organizer/Contacts.h"
#include "platform/secret/Passphrase.h"
#include "runtime/Runtime.h"
#include "script/Values.h"

#include <algorithm>
#include <charconv>

namespace qdctl {
namespace {

std::optional<int> number(const std::string& text) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

int mailSend(Context& c, qd::Runtime& runtime, int id) {
    qd::Mailer mailer = runtime.makeMailer();
    qd::ScriptValues& values = runtime.values();
    mailer.setVariableSink(
        [&values](const std::string& name, const std::string& value) { values.SetValue(name, value); });
    mailer.setProgress([&c](int done, int total) {
        c.io.out << "sent to " << done << " of " << total << " contacts\n";
        return true;
    });
    const int r = mailer.SendStoredMessage(id, false, true);
    const qd::MassMailingSummary& mass = mailer.lastMassMailing();
    if (mass.recipients > 0)
        c.io.out << "mass mailing: " << mass.sent << " sent, " << mass.alreadySent << " sent before, "
                 << mass.failed << " failed of " << mass.recipients << "\n";
    if (r != 0) {
        c.io.out << "EmailExitCode=" << r << "\n";
        std::string why = mailer.lastErrorText();
        std::replace(why.begin(), why.end(), '\r', ' ');
        return c.failed("message " + std::to_string(id) + " not sent: " + why);
    }
    c.io.out << "message " << id << " sent\n";
    return kOk;
}

int mailPassword(Context& c) {
    std::string why;
    std::optional<std::string> p;
    if (c.passphraseFd)
        p = qd::readPassphraseFrom(*c.passphraseFd, why);
    else if (c.io.interactive)
        p = qd::askPassphrase("SMTP password: ", why);
    else
        why = "give the password with --passphrase-fd N or on a terminal";
    if (!p) return c.failed(why);
    qd::MailPasswordStore kept(&c.secrets(), c.data().folder());
    if (p->empty()) {
        if (!kept.clear(why)) return c.failed(why);
        c.io.out << "SMTP password removed\n";
        return kOk;
    }
    std::string note;
    const std::optional<qd::MailPasswordPlace> place = kept.store(*p, note, why);
    if (!place) return c.failed(why);
    if (*place == qd::MailPasswordPlace::Keyring)
        c.io.out << "SMTP password kept in the keyring\n";
    else
        c.io.out << note << "\n";
    return kOk;
}

} // namespace

std::function<std::string()> mailPasswordSource(Context& c) {
    return [&c] {
        std::string why;
        return qd::MailPasswordStore(&c.secrets(), c.data().folder()).lookup(why);
    };
}

int cmdMail(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size()) return c.usage("mail needs send, test or password");
    const std::string& what = args[pos];
    if (what == "password") return mailPassword(c);
    if (what != "send" && what != "test") return c.usage("mail needs send, test or password");
    std::optional<int> id;
    if (what == "send") {
        if (pos + 1 >= args.size() || !(id = number(args[pos + 1])))
            return c.usage("mail send needs a message number");
        if (pos + 2 < args.size()) return c.usage("unexpected '" + args[pos + 2] + "'");
    } else if (pos + 1 < args.size()) {
        return c.usage("unexpected '" + args[pos + 1] + "'");
    }
    bool stop = false;
    TerminalFrame frame(c.io.out, c.process, [&stop] { stop = true; });
    const std::unique_ptr<qd::Desktop> desktop = c.openDesktop();
    qd::Runtime runtime(*c.startup, frame, *desktop, c.process, qd::RuntimeOptions{});
    runtime.setMailPassword(mailPasswordSource(c));
    if (!runtime.open()) return kFailed;
    int result;
    if (id) {
        result = mailSend(c, runtime, *id);
    } else {
        qd::Mailer mailer = runtime.makeMailer();
        result = mailer.sendTestMail() == 0 ? kOk : kFailed;
    }
    runtime.close();
    return result;
}

int cmdContacts(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size()) return c.usage("contacts needs list, copy, tasks, link or unlink");
    if (args[pos] == "list") {
        std::string category;
        for (std::size_t i = pos + 1; i < args.size(); ++i) {
            if (args[i] == "--category" && i + 1 < args.size())
                category = args[++i];
            else
                return c.usage("unexpected '" + args[i] + "'");
        }
        for (const qd::ContactRecord& r : qd::listContacts(c.data(), category)) {
            if (c.json) {
                c.io.out << "{\"C_:ClientID\": " << r.ClientID
                         << ", \"C_:LastName\": " << jsonEscape(r.LastName)
                         << ", \"C_:FirstName\": " << jsonEscape(r.FirstName)
                         << ", \"C_:Email\": " << jsonEscape(r.Email)
                         << ", \"C_:ContactCategory\": " << jsonEscape(r.ContactCategory) << "}\n";
            } else {
                c.io.out << r.ClientID << "\t" << qd::text::trimmed(r.LastName) << "\t"
                         << qd::text::trimmed(r.FirstName) << "\t" << qd::text::trimmed(r.Email) << "\t"
                         << qd::text::trimmed(r.ContactCategory) << "\n";
            }
        }
        return kOk;
    }
    if (args[pos] == "copy") {
        std::optional<int> id;
        if (pos + 1 >= args.size() || !(id = number(args[pos + 1])))
            return c.usage("contacts copy needs a contact number");
        const auto contact = qd::findContact(c.data(), *id);
        if (!contact) return c.failed("no contact with number " + args[pos + 1]);
        c.io.out << qd::ContactCopyText(*contact);
        return kOk;
    }
    if (args[pos] == "tasks" || args[pos] == "link" || args[pos] == "unlink") {
        const bool list = args[pos] == "tasks";
        std::optional<int> id, task;
        if (pos + 1 >= args.size() || !(id = number(args[pos + 1])))
            return c.usage("contacts " + args[pos] + " needs a contact number");
        if (!list && (pos + 2 >= args.size() || !(task = number(args[pos + 2]))))
            return c.usage("contacts " + args[pos] + " needs a task number");
        if (pos + (list ? 2 : 3) < args.size())
            return c.usage("unexpected '" + args[pos + (list ? 2 : 3)] + "'");
        if (!qd::findContact(c.data(), *id)) return c.failed("no contact with number " + args[pos + 1]);
        if (list) {
            for (const qd::TaskEntry& t : qd::tasksOfContact(c.data(), *id))
                c.io.out << t.taskId << "\t" << t.description << "\n";
            return kOk;
        }
        if (args[pos] == "unlink") {
            if (!qd::unlinkContactFromTask(c.data(), *id, *task))
                return c.failed("contact " + std::to_string(*id) + " is not linked to task " +
                                std::to_string(*task));
            return kOk;
        }
        switch (qd::linkContactToTask(c.data(), *id, *task)) {
        case qd::LinkResult::Linked:
            return kOk;
        case qd::LinkResult::AlreadyLinked:
            return c.failed("contact " + std::to_string(*id) + " is linked to task " + std::to_string(*task) +
                            " already");
        case qd::LinkResult::NoSuchTask:
            return c.failed("no task with number " + std::to_string(*task));
        default:
            return c.failed("the link could not be stored");
        }
    }
    return c.usage("contacts needs list, copy, tasks, link or unlink");
}

} // namespace qdctl
