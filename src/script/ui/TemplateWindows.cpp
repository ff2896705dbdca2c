#include "script/ui/TemplateWindows.h"

#include "data/FileManager.h"
#include "data/Text.h"
#include "data/TextWidth.h"
#include "script/ScriptEditing.h"
#include "script/Templates.h"
#include "script/ui/BrowseScripting.h"
#include "script/ui/ScriptWindows.h"
#include "ui/QueryDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace qdscriptui {

TokenPromptDialog::TokenPromptDialog(qdui::QtUserInterface& ui, const qd::PromptRequest& request,
                                     QWidget* parent)
    : QDialog(parent), ui_(ui), request_(request) {
    const bool file = request.kind == qd::PromptKind::File;
    const bool window = request.kind == qd::PromptKind::Choice;
    setObjectName(file ? "TemplateTokenAskFile" : window ? "TemplateTokenAskWindow" : "TemplateTokenAskText");
    setWindowTitle(q(request.title));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(q(request.label), this);
    label->setObjectName("Prompt");
    value_ = new QLineEdit(q(request.initial), this);
    value_->setObjectName("Value");
    value_->setAccessibleName(q(qd::text::trimmedRight(request.label)).remove(':'));
    value_->setMaxLength(static_cast<int>(qd::ScriptingRecord::Width::Command));
    label->setBuddy(value_);
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(value_, 1);
    if (file) {
        auto* browse = new QToolButton(this);
        browse->setText("...");
        browse->setObjectName("Browse");
        browse->setAccessibleName("Browse");
        row->addWidget(browse);
        connect(browse, &QToolButton::clicked, this, [this] {
            QFileDialog d(this, "Choose a File", value_->text(), qdui::qtFileFilter(request_.filter));
            d.setOption(QFileDialog::DontUseNativeDialog);
            d.setFileMode(QFileDialog::AnyFile);
            if (ui_.runDialog(d) == QDialog::Accepted && !d.selectedFiles().isEmpty())
                value_->setText(d.selectedFiles().front());
        });
    }
    layout->addLayout(row);
    if (window) {
        windows_ = new QListWidget(this);
        windows_->setObjectName("Windows");
        windows_->setAccessibleName("Open windows");
        for (const std::string& t : request.choices)
            windows_->addItem(q(t));
        layout->addWidget(windows_, 1);
        connect(windows_, &QListWidget::currentTextChanged, value_, &QLineEdit::setText);
        connect(windows_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(window ? 460 : 400, window ? 320 : 120);
}

QString TokenPromptDialog::value() const {
    return value_->text();
}

std::optional<std::string> TokenPromptInterface::prompt(const qd::PromptRequest& request) {
    TokenPromptDialog d(ui_, request, ui_.parentWindow());
    if (ui_.runDialog(d) != QDialog::Accepted) return std::nullopt;
    return s(d.value());
}

// ---------------------------------------------------------------------------

BrowseScriptTemplatesWindow::BrowseScriptTemplatesWindow(ScriptUiContext& context, bool picking,
                                                         QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName("BrowseScriptTemplates");
    setWindowTitle(picking ? "Choose a Script Template" : "Script Templates");
    previousMode_ = qd::GLO_SCRIPTWIZARDMODE().exchange(1);
    auto* layout = new QVBoxLayout(this);
    model_ = new TemplateListModel(context.ds, this);
    list_ = new QListView(this);
    list_->setObjectName("Templates");
    list_->setAccessibleName("Script templates");
    list_->setModel(model_);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setUniformItemSizes(true);
    layout->addWidget(list_, 1);
    const qd::TableDef& def = qd::tables::ScriptTemplates();
    query_ = new qdui::QueryBar({{def.findField("Description"), "Description", qdui::QueryFieldKind::Text},
                                 {def.findField("DOSFilename"), "Script file", qdui::QueryFieldKind::Text}},
                                "templates", this);
    qdui::followQuery(query_, model_, list_);
    layout->addWidget(query_->shown());
    auto* row = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    using W = BrowseScriptTemplatesWindow;
    rowButton(this, row, "Insert", "&Insert", "Add a template", &W::insertTemplate);
    rowButton(this, row, "Change", "&Change", "Rename the highlighted template", &W::renameTemplate);
    rowButton(this, row, "Delete", "&Delete", "Delete the highlighted template", &W::deleteTemplate);
    rowButton(this, row, "Steps", "S&teps...", "Edit the steps of the highlighted template",
              [this] { editSteps(); });
    row->addStretch(1);
    rowButton(this, row2, "Import", "I&mport...", "Make a template from a script file", &W::importTemplate);
    rowButton(this, row2, "Export", "E&xport...", "Write the highlighted template to a script file",
              &W::exportTemplate);
    query_->addButtons(row2);
    row2->addStretch(1);
    if (picking) {
        const auto choose = [this] {
            if (selectedTemplate() != 0) accept();
        };
        rowButton(this, row2, "Select", "&Select", "Copy the highlighted template", choose)->setDefault(true);
        connect(list_, &QListView::doubleClicked, this, choose);
    } else {
        connect(list_, &QListView::doubleClicked, this, [this] { editSteps(); });
    }
    rowButton(this, row2, "Close", "C&lose", "Close this list", &QDialog::reject);
    layout->addLayout(row);
    layout->addLayout(row2);
    resize(440, 360);
    // The model counted the templates and read the first page as it was made.
    if (model_->rowCount() > 0) list_->setCurrentIndex(model_->index(0));
}

BrowseScriptTemplatesWindow::~BrowseScriptTemplatesWindow() {
    qd::GLO_SCRIPTWIZARDMODE() = previousMode_;
}

QPushButton* BrowseScriptTemplatesWindow::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

void BrowseScriptTemplatesWindow::reload() {
    const std::int32_t keep = selectedTemplate();
    model_->reload();
    if (!selectTemplate(keep) && model_->rowCount() > 0) list_->setCurrentIndex(model_->index(0));
}

std::int32_t BrowseScriptTemplatesWindow::selectedTemplate() const {
    const QModelIndex current = list_->currentIndex();
    return current.isValid() ? model_->record(current.row()).WIZ_ID : 0;
}

bool BrowseScriptTemplatesWindow::selectTemplate(std::int32_t id) {
    const int row = id == 0 ? -1 : model_->rowOf(id);
    if (row < 0) return false;
    list_->setCurrentIndex(model_->index(row));
    list_->scrollTo(model_->index(row));
    return true;
}

// ---------------------------------------------------------------------------

TemplateListModel::TemplateListModel(qd::DataSet& ds, QObject* parent)
    : RecordListModelOf(ds, qd::tables::ScriptTemplates(), "K_Description", {}, parent) {}

QVariant TemplateListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const qd::ScriptTemplatesRecord* r = recordAt(index.row());
    if (!r) return {};
    if (role == kIdRole) return r->WIZ_ID;
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return q(qd::text::trimmedRight(r->Description));
    if (role == Qt::ToolTipRole && !qd::text::trimmedRight(r->DOSFilename).empty())
        return q(qd::text::trimmedRight(r->DOSFilename));
    return {};
}

int TemplateListModel::rowOf(std::int32_t id) const {
    return rowOfKey("K_WIZ_ID", [id](qd::ScriptTemplatesRecord& t) { t.WIZ_ID = id; });
}

namespace {

std::optional<std::string> askDescription(ScriptUiContext& context, const std::string& title,
                                          const std::string& initial) {
    qd::PromptRequest r;
    r.kind = qd::PromptKind::Text;
    r.title = title;
    r.label = "Description:";
    r.initial = initial;
    auto answer = context.ui.prompt(r);
    if (!answer) return std::nullopt;
    std::string d = qd::text::trimmed(*answer);
    if (d.empty()) {
        context.ui.message("Missing Information", "Description must be entered.",
                           qd::MessageIcon::Exclamation);
        return std::nullopt;
    }
    return qd::fitText(d, qd::ScriptTemplatesRecord::Width::Description);
}

} // namespace

void BrowseScriptTemplatesWindow::insertTemplate() {
    const auto d = askDescription(context_, "New Script Template", "");
    if (!d) return;
    qd::Table<qd::ScriptTemplatesRecord> t(context_.ds, qd::tables::ScriptTemplates());
    if (t.open() != qd::Level::Benign) return;
    t.rec = {};
    t.rec.Description = *d;
    // The record layer reports a description in use ("Creates Duplicate Key").
    if (t.insert() != qd::Level::Benign) return;
    const std::int32_t id = t.rec.WIZ_ID;
    t.close();
    reload();
    selectTemplate(id);
}

void BrowseScriptTemplatesWindow::renameTemplate() {
    const std::int32_t id = selectedTemplate();
    if (id == 0) return;
    qd::Table<qd::ScriptTemplatesRecord> t(context_.ds, qd::tables::ScriptTemplates());
    if (t.open() != qd::Level::Benign) return;
    t.rec.WIZ_ID = id;
    if (t.fetch("K_WIZ_ID") != qd::Level::Benign) {
        reload();
        return;
    }
    const auto d =
        askDescription(context_, "Change Script Template", qd::text::trimmedRight(t.rec.Description));
    if (!d) return;
    t.rec.Description = *d;
    t.update();
    t.close();
    reload();
    selectTemplate(id);
}

void BrowseScriptTemplatesWindow::deleteTemplate() {
    const std::int32_t id = selectedTemplate();
    if (id == 0) return;
    if (!context_.ui.ask("Delete", "Delete the highlighted script template and its steps?")) return;
    if (const qd::StepStatus st = qd::DeleteScriptTemplate(context_.ds, id); !st.ok())
        context_.ui.message("Error!", "The template could not be deleted: " + st.error,
                            qd::MessageIcon::Hand);
    reload();
}

QWidget* BrowseScriptTemplatesWindow::editSteps() {
    const std::int32_t id = selectedTemplate();
    if (id == 0) return nullptr;
    auto* w = new BrowseScriptingWindow(context_, qd::templateSteps(id),
                                        "Script Template - " + list_->currentIndex().data().toString(), this);
    w->setWindowFlag(Qt::Window);
    w->resize(760, 460);
    w->show();
    return w;
}

void BrowseScriptTemplatesWindow::importTemplate() {
    const auto file = chooseFileToImport(context_);
    if (!file) return;
    qdui::QtProgress progress(this);
    if (context_.onProgress) context_.onProgress(progress);
    const qd::TemplateImportResult result =
        qd::ImportScriptTemplate(context_.ds, *file, "", &context_.ui, &progress);
    progress.finish();
    if (!result.ok && !result.cancelled)
        context_.ui.message("Import Error", "The template could not be made: " + result.error,
                            qd::MessageIcon::Exclamation);
    reload();
    selectTemplate(result.templateId);
}

void BrowseScriptTemplatesWindow::exportTemplate() {
    const std::int32_t id = selectedTemplate();
    if (id == 0) return;
    const auto file = chooseFileToExport(context_);
    if (!file) return;
    qdui::QtProgress progress(this);
    if (context_.onProgress) context_.onProgress(progress);
    qd::ExportScriptTemplate(context_.ds, id, *file, &context_.ui, &progress);
}

std::int32_t pickTemplate(ScriptUiContext& context, QWidget* parent) {
    BrowseScriptTemplatesWindow w(context, true, parent);
    if (context.ui.runDialog(w) != QDialog::Accepted) return 0;
    return w.selectedTemplate();
}

int copyTemplateToTask(ScriptUiContext& context, std::int32_t templateId, std::int32_t taskId,
                       QWidget* parent) {
    TokenPromptInterface prompts(context.ui);
    qdui::QtProgress progress(parent);
    if (context.onProgress) context.onProgress(progress);
    const qd::TemplateCopyResult r = qd::CopyScriptTemplateToScript(
        context.ds, templateId, taskId, prompts, context.windows, qd::TOKENQUEUE(), &progress);
    return r.added;
}

} // namespace qdscriptui
