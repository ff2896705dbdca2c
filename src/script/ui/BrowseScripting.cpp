#include "script/ui/BrowseScripting.h"

#include "data/FileManager.h"
#include "data/Text.h"
#include "script/ScriptEngine.h"
#include "script/ScriptFile.h"
#include "script/Templates.h"
#include "script/ui/ScriptRunWindows.h"
#include "script/ui/ScriptTextWindow.h"
#include "script/ui/ScriptWindows.h"
#include "script/ui/TemplateWindows.h"
#include "script/ui/UpdateScripting.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTextDocument>
#include <QVBoxLayout>

namespace qdscriptui {

BrowseScriptingWindow* BrowseScriptingWindow::forTask(ScriptUiContext& context, int taskId, QWidget* parent) {
    const auto task = qd::PrepareTaskForScripting(context.ds, taskId, context.clock.today(),
                                                  context.settings.DateFormat, context.ui);
    if (!task) return nullptr;
    return new BrowseScriptingWindow(context, qd::taskSteps(taskId), q(qd::ScriptingTitle(*task)), parent);
}

BrowseScriptingWindow::BrowseScriptingWindow(ScriptUiContext& context, const qd::StepOwner& owner,
                                             const QString& title, QWidget* parent)
    : QWidget(parent), context_(context), owner_(owner) {
    setObjectName("BrowseScripting");
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    model_ = new StepListModel(context.ds, owner, this);

    auto* layout = new QVBoxLayout(this);
    view_ = new QTableView(this);
    view_->setObjectName("Steps");
    view_->setAccessibleName("Script steps");
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setShowGrid(false);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    view_->horizontalHeader()->resizeSection(StepListModel::kColSequence, 48);
    view_->horizontalHeader()->resizeSection(StepListModel::kColAction, 150);
    view_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(view_, 1);

    auto* row1 = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    auto* row3 = new QHBoxLayout;
    QPushButton* insert = rowButton(this, row1, "Insert", "&Insert", "Add a step after the highlighted one");
    QPushButton* change = rowButton(this, row1, "Change", "&Change", "Change the highlighted step");
    QPushButton* copy = rowButton(this, row1, "Copy", "Cop&y", "Add a copy of the highlighted step after it");
    QPushButton* remove = rowButton(this, row1, "Delete", "&Delete", "Delete the highlighted step");
    row1->addSpacing(12);
    QPushButton* up = rowButton(this, row1, "MoveUp", "Move &Up", "Move the highlighted step up one place");
    QPushButton* down =
        rowButton(this, row1, "MoveDown", "Move Do&wn", "Move the highlighted step down one place");
    QPushButton* top = rowButton(this, row1, "MoveTop", "To &Top", "Make the highlighted step the first");
    QPushButton* bottom =
        rowButton(this, row1, "MoveBottom", "To &Bottom", "Make the highlighted step the last");
    row1->addStretch(1);
    QPushButton* renumberButton =
        rowButton(this, row2, "Renumber", "Re&number", "Number the steps 1, 2, 3 ... in their order");
    QPushButton* clear = rowButton(this, row2, "ClearAll", "Clear &All", "Delete every step of this script");
    QPushButton* importButton =
        rowButton(this, row2, "Import", "I&mport...", "Add the steps of a script file (.qds)");
    QPushButton* exportButton =
        rowButton(this, row2, "Export", "E&xport...", "Write the steps to a script file (.qds)");
    QPushButton* printButton = rowButton(this, row2, "Print", "&Print...", "Print the steps");
    row2->addStretch(1);
    QPushButton* templ =
        rowButton(this, row3, "Template", "Insert Tem&plate...", "Add the steps of a script template");
    QPushButton* text =
        rowButton(this, row3, "EditAsText", "Edit as T&ext...", "Edit the whole script as text");
    QPushButton* debug =
        rowButton(this, row3, "DebugRun", "Step-by-Step &Run...", "Run the script one step at a time");
    row3->addStretch(1);
    QPushButton* close = rowButton(this, row3, "Close", "&Close", "Close this list");
    layout->addLayout(row1);
    layout->addLayout(row2);
    layout->addLayout(row3);

    connect(insert, &QPushButton::clicked, this, &BrowseScriptingWindow::insertStep);
    connect(change, &QPushButton::clicked, this, &BrowseScriptingWindow::changeStep);
    connect(view_, &QTableView::doubleClicked, this, &BrowseScriptingWindow::changeStep);
    connect(copy, &QPushButton::clicked, this, &BrowseScriptingWindow::copyStep);
    connect(remove, &QPushButton::clicked, this, &BrowseScriptingWindow::deleteStep);
    connect(up, &QPushButton::clicked, this, [this] { moveStep(qd::StepMove::Up); });
    connect(down, &QPushButton::clicked, this, [this] { moveStep(qd::StepMove::Down); });
    connect(top, &QPushButton::clicked, this, [this] { moveStep(qd::StepMove::Top); });
    connect(bottom, &QPushButton::clicked, this, [this] { moveStep(qd::StepMove::Bottom); });
    connect(renumberButton, &QPushButton::clicked, this, &BrowseScriptingWindow::renumber);
    connect(clear, &QPushButton::clicked, this, &BrowseScriptingWindow::clearAll);
    connect(importButton, &QPushButton::clicked, this, &BrowseScriptingWindow::importFile);
    connect(exportButton, &QPushButton::clicked, this, &BrowseScriptingWindow::exportFile);
    connect(printButton, &QPushButton::clicked, this, &BrowseScriptingWindow::print);
    connect(templ, &QPushButton::clicked, this, &BrowseScriptingWindow::insertTemplate);
    connect(text, &QPushButton::clicked, this, &BrowseScriptingWindow::editAsText);
    connect(debug, &QPushButton::clicked, this, &BrowseScriptingWindow::debugRun);
    connect(close, &QPushButton::clicked, this, [this] {
        if (parentWidget() && parentWidget()->inherits("QMdiSubWindow"))
            parentWidget()->close();
        else
            this->close();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BrowseScriptingWindow::updateButtons);
    connect(model_, &QAbstractItemModel::modelReset, this, &BrowseScriptingWindow::updateButtons);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &BrowseScriptingWindow::updateButtons);

    // Templates are not inserted into templates, and a template has no run.
    templ->setVisible(!owner_.isTemplate());
    debug->setVisible(!owner_.isTemplate() && context_.engine != nullptr && context_.log != nullptr);
    if (model_->rowCount() > 0) view_->selectRow(0);
    updateButtons();
}

QPushButton* BrowseScriptingWindow::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

void BrowseScriptingWindow::updateButtons() {
    const bool any = selectedRow() >= 0;
    for (const char* name : {"Change", "Copy", "Delete", "MoveUp", "MoveDown", "MoveTop", "MoveBottom"})
        if (QPushButton* b = button(name)) b->setEnabled(any);
    const bool steps = model_->rowCount() > 0;
    for (const char* name : {"Renumber", "ClearAll", "Export", "Print", "DebugRun"})
        if (QPushButton* b = button(name)) b->setEnabled(steps);
}

int BrowseScriptingWindow::selectedRow() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

std::int32_t BrowseScriptingWindow::selectedSequence() const {
    return model_->sequenceAt(selectedRow());
}

bool BrowseScriptingWindow::selectSequence(std::int32_t sequence) {
    const int row = model_->rowOfSequence(sequence);
    if (row < 0) return false;
    view_->selectRow(row);
    view_->scrollTo(model_->index(row, 0));
    return true;
}

void BrowseScriptingWindow::refresh() {
    const bool had = selectedRow() >= 0;
    const std::int32_t keep = selectedSequence();
    model_->refresh();
    if (!had || !selectSequence(keep))
        if (model_->rowCount() > 0) view_->selectRow(0);
    if (!model_->error().isEmpty())
        context_.ui.message("Scripting", "The steps could not be read completely: " + s(model_->error()),
                            qd::MessageIcon::Exclamation);
}

void BrowseScriptingWindow::changed(std::int32_t select) {
    model_->refresh();
    if (select == 0 || !selectSequence(select))
        if (model_->rowCount() > 0) view_->selectRow(0);
    emit stepsChanged();
}

bool BrowseScriptingWindow::readStep(std::int32_t sequence, qd::ScriptingRecord& step) {
    qd::Table<qd::ScriptingRecord> t(context_.ds, *owner_.table);
    if (t.open() != qd::Level::Benign) return false;
    t.rec = {};
    t.rec.ID = owner_.id;
    t.rec.Sequence = sequence;
    if (t.fetch(qd::stepKeyIndex(t.def())) != qd::Level::Benign) {
        context_.ui.message("Scripting", "The highlighted step is not there any more.",
                            qd::MessageIcon::Exclamation);
        refresh();
        return false;
    }
    step = t.rec;
    return true;
}

bool BrowseScriptingWindow::edit(qd::ScriptingRecord& step, bool isNew) {
    UpdateScriptingDialog d(context_, owner_, step, isNew, this);
    if (context_.ui.runDialog(d) != QDialog::Accepted) return false;
    step = d.step();
    return true;
}

void BrowseScriptingWindow::insertStep() {
    qd::ScriptingRecord step{};
    step.ID = owner_.id;
    if (!edit(step, true)) return;
    const std::int32_t after = selectedRow() >= 0 ? selectedSequence() : -1;
    const qd::StepStatus st = qd::InsertStepAfter(context_.ds, owner_, after, step);
    if (!st.ok()) {
        context_.ui.message("Error!", "Error adding script item " + st.error, qd::MessageIcon::Hand);
        return;
    }
    changed(step.Sequence);
}

void BrowseScriptingWindow::copyStep() {
    if (selectedRow() < 0) return;
    const std::int32_t seq = selectedSequence();
    qd::ScriptingRecord step;
    if (!readStep(seq, step)) return;
    if (!edit(step, true)) return;
    const qd::StepStatus st = qd::InsertStepAfter(context_.ds, owner_, seq, step);
    if (!st.ok()) {
        context_.ui.message("Error!", "Error adding script item " + st.error, qd::MessageIcon::Hand);
        return;
    }
    changed(step.Sequence);
}

void BrowseScriptingWindow::changeStep() {
    if (selectedRow() < 0) return;
    const std::int32_t seq = selectedSequence();
    qd::ScriptingRecord step;
    if (!readStep(seq, step)) return;
    if (!edit(step, false)) return;
    step.Sequence = seq;
    const qd::StepStatus st = qd::UpdateStep(context_.ds, owner_, step);
    if (!st.ok()) {
        context_.ui.message("Error!", "Error saving script item " + st.error, qd::MessageIcon::Hand);
        return;
    }
    changed(seq);
}

void BrowseScriptingWindow::deleteStep() {
    if (selectedRow() < 0) return;
    const std::int32_t seq = selectedSequence();
    if (!context_.ui.ask("Delete", "Delete the highlighted script item?")) return;
    const int row = view_->currentIndex().row();
    const qd::StepStatus st = qd::DeleteStep(context_.ds, owner_, seq);
    if (!st.ok()) {
        context_.ui.message("Error!", "Error deleting script item " + st.error, qd::MessageIcon::Hand);
        return;
    }
    model_->refresh();
    if (model_->rowCount() > 0) view_->selectRow(std::min(row, model_->rowCount() - 1));
    emit stepsChanged();
}

void BrowseScriptingWindow::moveStep(qd::StepMove move) {
    if (selectedRow() < 0) return;
    const std::int32_t seq = selectedSequence();
    const auto moved = qd::MoveStep(context_.ds, owner_, seq, move, context_.ui);
    if (!moved) return;
    changed(*moved);
}

void BrowseScriptingWindow::renumber() {
    const int row = view_->currentIndex().row();
    if (!qd::RenumberSteps(context_.ds, owner_, context_.ui)) return;
    model_->refresh();
    // The same place in the order keeps the highlight.
    if (row >= 0) {
        while (model_->rowCount() <= row && model_->canFetchMore({}))
            model_->fetchMore({});
        if (row < model_->rowCount()) view_->selectRow(row);
    }
    emit stepsChanged();
}

void BrowseScriptingWindow::clearAll() {
    if (!qd::ClearAllSteps(context_.ds, owner_, context_.ui)) return;
    changed(0);
}

void BrowseScriptingWindow::importFile() {
    const auto file = chooseFileToImport(context_);
    if (!file) return;
    qdui::QtProgress progress(this);
    if (context_.onProgress) context_.onProgress(progress);
    const qd::ImportResult result =
        qd::ImportScript(context_.ds, *owner_.table, owner_.id, *file, &context_.ui, &progress);
    progress.finish();
    if (result.cancelled) return; // nothing was added
    if (!result.ok) {
        // A failed add was shown ("Error adding script item"); a file that went
        // away since it was read is shown here.
        if (result.error.rfind("Cannot", 0) == 0)
            context_.ui.message("Import Error", result.error, qd::MessageIcon::Exclamation);
        return;
    }
    if (result.added == 0)
        context_.ui.message("Import", "The file holds no script items.", qd::MessageIcon::Information);
    changed(0);
}

void BrowseScriptingWindow::exportFile() {
    const auto file = chooseFileToExport(context_);
    if (!file) return;
    qdui::QtProgress progress(this);
    if (context_.onProgress) context_.onProgress(progress);
    qd::ExportScript(context_.ds, *owner_.table, owner_.id, *file, &context_.ui, &progress);
}

bool BrowseScriptingWindow::printTo(QPrinter& printer) {
    const qd::StepsResult r = qd::LoadScriptSteps(context_.ds, *owner_.table, owner_.id);
    if (!r.ok()) {
        context_.ui.message("Print", "The steps could not be read: " + r.error, qd::MessageIcon::Exclamation);
        return false;
    }
    QString html = "<h3>" + windowTitle().toHtmlEscaped() + "</h3><table cellspacing=0 cellpadding=2>";
    html += "<tr><th align=right>#</th><th align=left>Action</th><th align=left>Description</th></tr>";
    for (const qd::ScriptingRecord& step : r.steps)
        html += "<tr><td align=right>" + QString::number(step.Sequence) + "</td><td>" +
                q(qd::text::trimmedRight(step.Action)).toHtmlEscaped() + "</td><td>" +
                q(qd::StepDescription(step)).toHtmlEscaped() + "</td></tr>";
    html += "</table>";
    QTextDocument doc;
    doc.setHtml(html);
    doc.print(&printer);
    return true;
}

void BrowseScriptingWindow::print() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Print the Script");
    if (context_.ui.runDialog(dialog) != QDialog::Accepted) return;
    printTo(printer);
}

void BrowseScriptingWindow::insertTemplate() {
    if (owner_.isTemplate()) return;
    const int templateId = pickTemplate(context_, this);
    if (templateId == 0) return;
    if (copyTemplateToTask(context_, templateId, owner_.id, this) > 0) changed(0);
}

void BrowseScriptingWindow::editAsText() {
    ScriptTextWindow w(context_, owner_, "Script as Text - " + windowTitle(), this);
    connect(&w, &ScriptTextWindow::stepsReplaced, this, [this] { changed(0); });
    context_.ui.runDialog(w);
}

void BrowseScriptingWindow::debugRun() {
    if (owner_.isTemplate() || !context_.engine || !context_.log) return;
    DebugRunWindow w(context_, owner_.id, windowTitle(), this);
    context_.ui.runDialog(w);
}

} // namespace qdscriptui
