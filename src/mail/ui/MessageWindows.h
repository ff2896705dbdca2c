// The stored messages' windows: the list ("E-mail Messages"), the form of one
// message ("Update the Messages File") that sends it as it stands with "&Send
// Now", and the window that forwards a reminder by mail ("Email Message").
#pragma once

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/RecordFilter.h"
#include "data/RecordPages.h"
#include "data/Records.h"
#include "mail/Mailer.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QTableView;

namespace qdui {
class QtUserInterface;
class QueryBar;
} // namespace qdui

namespace qdmailui {

struct MailUiContext {
    qd::DataSet& ds;
    qdui::QtUserInterface& ui;
    // A mailer on the running program's settings.
    std::function<qd::Mailer()> makeMailer;
    // "Send E-&mail": hands the message to the main window's step queue.
    std::function<void(int emailId)> queueSend;
};

// The stored messages in the order of one key, counted by the store and read a
// page at a time as they are shown.
class MessagesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPage = 100;
    MessagesModel(qd::DataSet& ds, QObject* parent = nullptr);
    ~MessagesModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setOrder(const std::string& key);
    // Only the messages that meet the query (the "&Query" button); empty: all.
    void setQuery(const qd::RecordFilter& query);
    // Counts the list again; its rows are read again as they are shown.
    void reload();
    qd::MessagesRecord message(int row) const;
    // The row of the message; -1 when it is not in the list.
    int rowOf(int emailId) const;

private:
    void setView();

    qd::DataSet& ds_;
    std::unique_ptr<qd::RecordPages<qd::MessagesRecord>> rows_;
    std::string key_ = "M_:KeyEmailID";
    qd::RecordFilter query_;
};

class MessageForm : public QDialog {
    Q_OBJECT
public:
    MessageForm(const QString& title, const qd::MessagesRecord& message, MailUiContext& context,
                QWidget* parent = nullptr);

    qd::MessagesRecord record() const;
    void accept() override;
    // The form's rules, as the fields' signals run them.
    void mailTypeChanged();
    void recipientLeft();
    void categoryLeft();
    void attachmentLeft();
    void sendNowPressed();
    void selectContactPressed();
    void selectCategoryPressed();

    QComboBox* mailType() const { return type_; }
    QLineEdit* field(const char* name) const;
    QLabel* recipientPrompt() const { return toPrompt_; }
    QPushButton* sendNowButton() const { return sendNow_; }
    QWidget* widget(const char* name) const;

private:
    void display(const qd::MessagesRecord& m);

    MailUiContext& context_;
    qd::MessagesRecord original_;
    QComboBox* type_ = nullptr;
    QLabel* toPrompt_ = nullptr;
    QLabel* groupPrompt_ = nullptr;
    QLabel* namePrompt_ = nullptr;
    QLabel* ccPrompt_ = nullptr;
    QLabel* bccPrompt_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* group_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* cc_ = nullptr;
    QLineEdit* bcc_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QLineEdit* attachment_ = nullptr;
    QPushButton* selectContact_ = nullptr;
    QPushButton* selectCategory_ = nullptr;
    QPushButton* sendNow_ = nullptr;
    QPlainTextEdit* body_ = nullptr;
    QString recipientBefore_;
};

class MessagesWindow : public QWidget {
    Q_OBJECT
public:
    // With `selecting`, "&Select" (or a double click) chooses the highlighted message (chosen()).
    explicit MessagesWindow(MailUiContext& context, bool selecting = false, QWidget* parent = nullptr);

    QTableView* list() const { return list_; }
    MessagesModel* model() const { return model_; }
    qdui::QueryBar* queryBar() const { return query_; }
    std::optional<qd::MessagesRecord> current() const;
    const std::optional<qd::MessagesRecord>& chosen() const { return chosen_; }

    void sendPressed();
    void selectPressed();
    void newPressed(int contactId = 0);
    void copyPressed();
    void editPressed();
    void deletePressed();
    // Opens the form for a new message to a contact ("Email..." of the contacts).
    void newForContact(const qd::ContactRecord& contact);

signals:
    void selected();

private:
    void edit(qd::MessagesRecord start, const QString& title, bool isNew);
    void select(int emailId);

    MailUiContext& context_;
    MessagesModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QTabBar* tabs_ = nullptr;
    qdui::QueryBar* query_ = nullptr;
    std::optional<qd::MessagesRecord> chosen_;
};

// The messages list as a modal pick list ("&Select"); nullopt when closed without a choice.
std::optional<qd::MessagesRecord> selectMessage(MailUiContext& context, QWidget* parent);

// Saves a message from the form: a new one gets the next number. Benign when stored.
qd::Level saveMessage(qd::DataSet& ds, qd::MessagesRecord& m, bool isNew);

// "Email Message": forwards a reminder's title and text to a recipient, who is
// remembered in "QDMSG.INI" for the next time.
class ForwardWindow : public QDialog {
    Q_OBJECT
public:
    ForwardWindow(const std::string& title, const std::string& message, MailUiContext& context,
                  QWidget* parent = nullptr);
    void accept() override;
    QLineEdit* field(const char* name) const;
    int lastResult() const { return result_; }

private:
    MailUiContext& context_;
    QLineEdit* address_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QPlainTextEdit* message_ = nullptr;
    int result_ = -1;
};

} // namespace qdmailui
