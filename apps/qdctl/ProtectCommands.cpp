// protect / unprotect: the data set's encrypted files keyed with a passphrase
// of the user's instead of the owner password, which every copy of the program
// knows. The passphrase is kept in the desktop keyring so that the programs
// find it; without a keyring they ask for it.
#include "Context.h"

#include "data/Calendar.h"
#include "data/Protection.h"
#include "platform/secret/Passphrase.h"

#include <cstdio>

namespace qdctl {
namespace {

std::string stamp(const qd::Clock& clock, const char* what) {
    const qd::Moment m = clock.now();
    const qd::CivilDate d = qd::civilFromDate(m.date);
    const qd::ClockTime t = qd::clockFromTime(m.time);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d-%s", d.year, d.month, d.day, t.hour, t.minute,
                  t.second, what);
    return buf;
}

// The new passphrase: one line from --passphrase-fd, or typed twice.
std::optional<std::string> newPassphrase(Context& c) {
    std::string why;
    std::optional<std::string> p;
    if (c.passphraseFd) {
        p = qd::readPassphraseFrom(*c.passphraseFd, why);
    } else if (c.io.interactive) {
        p = qd::askPassphrase("New passphrase: ", why);
        if (p) {
            const auto again = qd::askPassphrase("The same passphrase again: ", why);
            if (!again)
                p.reset();
            else if (*again != *p) {
                c.failed("the two passphrases differ; nothing was changed");
                return std::nullopt;
            }
        }
    } else {
        why = "give the passphrase with --passphrase-fd N or on a terminal";
    }
    if (!p) {
        c.failed(why);
        return std::nullopt;
    }
    if (p->empty()) {
        c.failed("an empty passphrase protects nothing; nothing was changed");
        return std::nullopt;
    }
    return p;
}

void showProgress(Context& c, const qd::RekeyProgress& p) {
    if (p.file.empty())
        c.io.out << "re-keyed " << p.done << " of " << p.total << " files\n";
    else
        c.io.out << "re-keying " << p.file << " (" << p.done + 1 << " of " << p.total << ")\n";
}

int rekey(Context& c, const std::string& newKey, const char* what) {
    const qd::RekeyResult r =
        qd::rekeyDataSet(c.data().folder(), c.data().passphrase(), newKey, stamp(c.now(), what),
                         [&](const qd::RekeyProgress& p) { showProgress(c, p); });
    if (!r.ok) return c.failed(r.error);
    c.io.out << "backup taken first: " << r.backup.string() << "\n";
    if (!r.warning.empty())
        c.io.err << "qdctl: note: " << r.warning << " (give --passphrase-fd to open the data set)\n";
    return kOk;
}

} // namespace

int cmdProtect(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (args.size() != pos) return c.usage("protect takes no arguments");
    const auto passphrase = newPassphrase(c);
    if (!passphrase) return kFailed;
    if (int rc = rekey(c, *passphrase, "before-protect"); rc != kOk) return rc;
    c.data().setPassphrase(*passphrase);
    std::string why;
    if (c.secrets().store(qd::passphraseItem(c.data().folder()),
                          "Quandrel data set " + c.data().folder().string(), *passphrase, why))
        c.io.out << "the passphrase is kept in the desktop keyring\n";
    else
        c.io.err << "qdctl: note: the passphrase could not be kept in the desktop keyring (" << why
                 << "); the programs will ask for it\n";
    c.io.out << "the data set is protected with the passphrase\n";
    return kOk;
}

int cmdUnprotect(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (args.size() != pos) return c.usage("unprotect takes no arguments");
    if (c.data().passphrase().empty()) return c.failed("the data set is not protected with a passphrase");
    if (int rc = rekey(c, "", "before-unprotect"); rc != kOk) return rc;
    c.data().setPassphrase({});
    std::string why;
    if (!c.secrets().clear(qd::passphraseItem(c.data().folder()), why))
        c.io.err << "qdctl: note: the keyring entry could not be removed (" << why << ")\n";
    c.io.out << "the data set is no longer protected with a passphrase\n";
    return kOk;
}

} // namespace qdctl
