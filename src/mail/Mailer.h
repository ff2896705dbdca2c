// The mails the program sends: stored messages (ordinary e-mail, newsgroup
// articles, mass mailings to a contact category), the forwarded reminder, and
// the Setup window's test mail. A Mailer is made for one job on one thread with
// a copy of the settings; it reads and writes the tables through the data set.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/Globals.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "mail/MailPassword.h"
#include "mail/MailSender.h"

#include <filesystem>
#include <functional>
#include <string>

namespace qd {

// The status line's note while a mail goes out ("Sending Email..." or empty).
std::string MailProgressText();
void SetMailProgressText(const std::string& text);

// How mass mailing went.
struct MassMailingSummary {
    int recipients = 0;  // contacts of the category with an address
    int sent = 0;        // sent by this run
    int alreadySent = 0; // sent by an earlier, interrupted run of the same message
    int failed = 0;
    bool cancelled = false;
    int result = 0;        // 0 when every recipient has the mail, else the first failure's code
    std::string lastError; // the text of that failure
};

class Mailer {
public:
    Mailer(DataSet& ds, EventLog& log, UserInterface& ui, const Clock& clock, ProgramSettings settings);

    // Instead of the SMTP client (tests).
    void setTransport(MailTransport transport) { transport_ = std::move(transport); }
    // Expands "[...]" names in subjects and bodies (the script values' TranslateText).
    void setTranslator(std::function<std::string(const std::string&)> translate) {
        translate_ = std::move(translate);
    }
    // Sets a script variable ("EmailHost", "Mail", "MailError"...).
    void setVariableSink(std::function<void(const std::string&, const std::string&)> set) {
        setVariable_ = std::move(set);
    }
    // The SMTP login password (asked for only when MailUser is set).
    void setPasswordSource(std::function<std::string()> password) { password_ = std::move(password); }
    // Trusted certificates for STARTTLS instead of the MailCAFile setting.
    void setCaFile(std::string file) { caFile_ = std::move(file); }
    // Mass mailing: called after each recipient; false cancels the rest.
    void setProgress(std::function<bool(int done, int total)> progress) { progress_ = std::move(progress); }

    // Sends message `emailId` of the Messages table, or `buffer` (the form's
    // record, saved or not) when recordInBuffer is set. 0 for success; 1 when
    // the settings are incomplete or the message cannot be read; else the
    // send's code. With stampSentDate a success stores today as the last date
    // sent.
    int SendStoredMessage(int emailId, bool recordInBuffer, bool stampSentDate,
                          const MessagesRecord* buffer = nullptr);
    // The ordinary e-mail of a message record.
    int sendEmail(const MessagesRecord& m);
    // One mail per contact of the message's category; resumable (see the .cpp).
    int SendMassMailing(const MessagesRecord& m);
    const MassMailingSummary& lastMassMailing() const { return mass_; }
    // The article of a "News" message to its newsgroup.
    int PostNewsMessage(const MessagesRecord& m);

    // Setup's test mail to the user's own address; shows the outcome.
    int sendTestMail();
    // Forwards a reminder to a recipient; shows the outcome.
    int GenerateEmail(const std::string& title, const std::string& message, const std::string& address,
                      const std::string& name);

    // The text of the last failure (empty after a success).
    const std::string& lastErrorText() const { return lastError_; }
    // Where the SMTP transcript goes.
    std::filesystem::path transcriptFile() const;

private:
    MailSender makeSender();
    void setVariable(const std::string& name, const std::string& value);
    std::string translate(const std::string& text) const;
    int send(MailSender& sender);

    DataSet& ds_;
    EventLog& log_;
    UserInterface& ui_;
    const Clock& clock_;
    ProgramSettings settings_;
    MailTransport transport_;
    std::function<std::string(const std::string&)> translate_;
    std::function<void(const std::string&, const std::string&)> setVariable_;
    std::function<std::string()> password_;
    std::function<bool(int, int)> progress_;
    std::string caFile_;
    std::string lastError_;
    MassMailingSummary mass_;
};

// Where the user's mail settings can come from on this system.
struct SystemMailSources {
    std::string fullName; // the password database's full name of the user
    std::string loginName;
    std::string mailName;  // /etc/mailname
    std::string emailEnv;  // $EMAIL
    bool localMta = false; // something listens on localhost:25
};
SystemMailSources readSystemMailSources();
// Fills the empty mail settings from the system; never changes one that is set.
void FillMailSettingsFromSystem(ProgramSettings& s, const SystemMailSources& sources);

} // namespace qd
