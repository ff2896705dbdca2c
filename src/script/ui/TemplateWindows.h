// "BrowseScriptTemplates": the script templates by description, with their
// steps edited in the step list (GLO:SCRIPTWIZARDMODE is 1 while the list is
// open), import from and export to script files; picking one to copy into a
// task; and the three token prompt windows the copy asks with.
#pragma once

#include "data/RecordPages.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "script/ui/ScriptUiContext.h"

#include <QAbstractListModel>
#include <QDialog>

#include <cstdint>
#include <memory>
#include <vector>

class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;

namespace qdui {
class QueryBar;
}

namespace qdscriptui {

// One prompt of a template token: a text, a file (with a browse button) or a
// window title (picked from the open windows, or typed).
class TokenPromptDialog : public QDialog {
    Q_OBJECT
public:
    TokenPromptDialog(qdui::QtUserInterface& ui, const qd::PromptRequest& request, QWidget* parent = nullptr);
    QString value() const;
    QLineEdit* valueField() const { return value_; }
    QListWidget* windows() const { return windows_; }

private:
    qdui::QtUserInterface& ui_;
    qd::PromptRequest request_;
    QLineEdit* value_ = nullptr;
    QListWidget* windows_ = nullptr;
};

// The user interface of a template copy: prompts through TokenPromptDialog,
// everything else through the program's interface.
class TokenPromptInterface : public qd::UserInterface {
public:
    explicit TokenPromptInterface(qdui::QtUserInterface& ui) : ui_(ui) {}
    void message(const std::string& title, const std::string& text, qd::MessageIcon icon) override {
        ui_.message(title, text, icon);
    }
    bool ask(const std::string& title, const std::string& text) override { return ui_.ask(title, text); }
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override {
        return ui_.chooseFolder(title, start);
    }
    void setClipboardText(const std::string& text) override { ui_.setClipboardText(text); }
    std::optional<std::string> prompt(const qd::PromptRequest& request) override;

private:
    qdui::QtUserInterface& ui_;
};

// The templates by description, counted by the store and read a page at a
// time as rows are shown.
class TemplateListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kIdRole = Qt::UserRole + 1;

    explicit TemplateListModel(qd::DataSet& ds, QObject* parent = nullptr);

    // Counts the list again; its rows are read again as they are shown.
    void refresh();
    // Only the templates that meet the query; empty: all.
    void setQuery(const qd::RecordFilter& query);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The template's ID at `row` (0: none); the row of template `id` (-1: not in the list).
    std::int32_t templateAt(int row) const;
    int rowOfTemplate(std::int32_t id);
    // Records read from the store since the list was last counted.
    long long scanned() const { return rows_->scanned(); }

private:
    qd::DataSet& ds_;
    std::unique_ptr<qd::RecordPages<qd::ScriptTemplatesRecord>> rows_;
};

class BrowseScriptTemplatesWindow : public QDialog {
    Q_OBJECT
public:
    // `picking`: the list offers "&Select" and closes with the chosen template.
    BrowseScriptTemplatesWindow(ScriptUiContext& context, bool picking, QWidget* parent = nullptr);
    ~BrowseScriptTemplatesWindow() override;

    QListView* list() const { return list_; }
    TemplateListModel* model() const { return model_; }
    qdui::QueryBar* queryBar() const { return query_; }
    QPushButton* button(const QString& objectName) const;
    // The highlighted template (0: none); after "&Select": the one chosen.
    std::int32_t selectedTemplate() const;
    bool selectTemplate(std::int32_t id);
    void reload();

    void insertTemplate();
    void renameTemplate();
    void deleteTemplate();
    // The step list of the highlighted template, as a window of its own.
    QWidget* editSteps();
    void importTemplate();
    void exportTemplate();

private:
    ScriptUiContext& context_;
    TemplateListModel* model_ = nullptr;
    QListView* list_ = nullptr;
    qdui::QueryBar* query_ = nullptr;
    int previousMode_ = 0;
};

// The template list for picking; the chosen template's ID, 0 when none.
std::int32_t pickTemplate(ScriptUiContext& context, QWidget* parent = nullptr);

// Copies a template into a task through the token prompt windows, the writing
// behind a progress window over `parent`; the number of steps added (0 when
// cancelled).
int copyTemplateToTask(ScriptUiContext& context, std::int32_t templateId, std::int32_t taskId,
                       QWidget* parent = nullptr);

} // namespace qdscriptui
