// The clipboard saver's windows: the "Clipboard Manager" list with its tabs,
// colours, search and buttons; the "Clipboard Record" form; the clipboard
// categories with the entries of the highlighted one; and the category pick
// list.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/Globals.h"
#include "data/RecordFilter.h"
#include "data/Records.h"
#include "platform/Clipboard.h"
#include "ui/RecordListModel.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabBar;
class QTableView;

namespace qdui {
class QtUserInterface;
class QueryBar;
} // namespace qdui

namespace qdclipui {

struct ClipboardUiContext {
    qd::DataSet& ds;
    qdui::QtUserInterface& ui;
    const qd::Clock& clock;
    qd::Clipboard& clipboard;
    // Starts what "Run" found (the program-start operation).
    std::function<void(const std::string&)> start;
};

// The saved entries in one key order, read a page at a time.
class ClipboardListModel : public qdui::RecordListModelOf<qd::ClipboardRecord> {
    Q_OBJECT
public:
    enum class Order { ByDate, ByContent, ByCategory, SavedOnly };

    explicit ClipboardListModel(qd::DataSet& ds, QObject* parent = nullptr);

    // The tab's order ("Saved Only" also keeps only the saved entries).
    void setOrder(Order order);

    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The row of a stored entry; -1 when it is not in the list.
    int rowOf(const qd::ClipboardRecord& entry) const;
    void setDateHeader(const QString& header) { dateHeader_ = header; }

private:
    QString dateHeader_ = "Date";
};

// "Select a Category": the clipboard categories; the chosen one, nullopt on Cancel.
std::optional<std::string> selectClipboardCategory(qd::DataSet& ds, qdui::QtUserInterface& ui,
                                                   const std::string& current, QWidget* parent);

// "Clipboard Record": one entry, new, changed or only viewed.
class ClipboardRecordForm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { View, New, Edit };
    ClipboardRecordForm(ClipboardUiContext& context, Mode mode, qd::ClipboardRecord record,
                        QWidget* parent = nullptr);

    const qd::ClipboardRecord& record() const { return record_; }
    QPlainTextEdit* contents() const { return contents_; }
    QLineEdit* category() const { return category_; }
    QCheckBox* keep() const { return keep_; }
    void accept() override;
    // The category rule: "General" or a known category stands; another opens
    // the pick list. False when the user cancels it.
    bool checkCategory();

private:
    ClipboardUiContext& context_;
    Mode mode_;
    qd::ClipboardRecord record_;
    QPlainTextEdit* contents_ = nullptr;
    QLineEdit* category_ = nullptr;
    QCheckBox* keep_ = nullptr;
};

// "Clipboard Manager".
class ClipboardManagerWindow : public QWidget {
    Q_OBJECT
public:
    explicit ClipboardManagerWindow(ClipboardUiContext& context, QWidget* parent = nullptr);

    ClipboardListModel* model() const { return model_; }
    QTableView* view() const { return view_; }
    QTabBar* tabs() const { return tabs_; }
    QLineEdit* search() const { return search_; }
    QPushButton* button(const QString& objectName) const;
    void refresh();
    int currentRow() const;
    void selectRow(int row);

    // The buttons.
    void copyPressed();
    void viewPressed();
    void newPressed();
    void editPressed();
    void deletePressed();
    void toggleSavePressed();
    void runPressed();
    qdui::QueryBar* queryBar() const { return query_; }

private:
    void applyFilter();

    ClipboardUiContext& context_;
    ClipboardListModel* model_ = nullptr;
    QTableView* view_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QLineEdit* search_ = nullptr;
    qdui::QueryBar* query_ = nullptr;
};

// "Clipboard Categories".
class ClipboardCategoriesWindow : public QWidget {
    Q_OBJECT
public:
    explicit ClipboardCategoriesWindow(ClipboardUiContext& context, QWidget* parent = nullptr);

    QListWidget* categories() const { return list_; }
    QTableView* entries() const { return entries_; }
    void reload();
    bool addCategory(const std::string& name);
    bool renameCategory(const std::string& from, const std::string& to);
    bool deleteCategory(const std::string& name);
    void newPressed();
    void editPressed();
    void deletePressed();

private:
    void showEntries();
    QString current() const;

    ClipboardUiContext& context_;
    QListWidget* list_ = nullptr;
    QTableView* entries_ = nullptr;
    ClipboardListModel* model_ = nullptr;
};

} // namespace qdclipui
