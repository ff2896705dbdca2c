#include "clipboard/ui/ClipboardWindows.h"

#include "clipboard/ClipRun.h"
#include "clipboard/ClipboardSaver.h"
#include "data/FileManager.h"
#include "data/Pictures.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "data/TextWidth.h"
#include "schedule/ui/CategoryWindows.h"
#include "ui/QtUserInterface.h"
#include "ui/QueryDialog.h"
#include "ui/WindowParts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace qdclipui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

int fieldIndex(const char* name) {
    return qd::tables::Clipboard().findField(name);
}

QIcon keepIcon(bool kept) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    if (kept) {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(30, 140, 50), 2.2));
        p.drawPolyline(QPolygonF() << QPointF(3, 8.5) << QPointF(6.5, 12) << QPointF(13, 4));
    }
    return QIcon(pm);
}

// Blue text for entries "Run" can start, cyan while selected.
class RunnableDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(Qt::UserRole + 2).toBool()) return;
        option->palette.setColor(QPalette::Text, QColor(0, 0, 255));
        option->palette.setColor(QPalette::HighlightedText, QColor(0, 255, 255));
    }
};

QPushButton* addButton(QWidget* owner, QBoxLayout* layout, const char* name, const QString& text,
                       const QString& tip = {}) {
    return qdui::namedButton(owner, text, name, layout, tip);
}

// One line of an entry for the list: line breaks shown as blanks, at most 255 characters.
QString listText(const std::string& s) {
    QString t = q(qd::fitText(s, 255));
    t.replace('\r', ' ').replace('\n', ' ').replace('\t', ' ');
    return t;
}

} // namespace

// ---- the list model

ClipboardListModel::ClipboardListModel(qd::DataSet& ds, QObject* parent)
    : RecordListModelOf(ds, qd::tables::Clipboard(), "KeyClipDate", {"", "Contents", "Category", "Date"},
                        parent) {}

void ClipboardListModel::setOrder(Order order) {
    switch (order) {
    case Order::ByDate:
        RecordListModel::setOrder("KeyClipDate");
        break;
    case Order::ByContent:
        RecordListModel::setOrder("KeyClipHash");
        break;
    case Order::ByCategory:
        RecordListModel::setOrder("KeyCategory");
        break;
    case Order::SavedOnly:
        RecordListModel::setOrder("KeyClipKeep",
                                  {{fieldIndex("ClipKeep"), qd::FieldMatch::Range, {}, 1LL, 1LL}});
        break;
    }
}

QVariant ClipboardListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const qd::ClipboardRecord r = record(index.row());
    if (role == Qt::UserRole + 2) return qd::clipLooksRunnable(r.ClipContents);
    if (role == Qt::UserRole + 1) return q(r.ClipHashKey);
    switch (index.column()) {
    case 0:
        if (role == Qt::DecorationRole) return keepIcon(r.ClipKeep != 0);
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) return r.ClipKeep ? "Save" : "";
        return {};
    case 1:
        if (role == Qt::DisplayRole) return listText(r.ClipContents);
        if (role == Qt::ToolTipRole) return q(qd::fitText(r.ClipContents, 1000));
        return {};
    case 2:
        if (role == Qt::DisplayRole) return q(r.Category);
        return {};
    case 3:
        if (role == Qt::DisplayRole) return q(qd::formatDate(r.ClipDate, "@d4"));
        return {};
    default:
        return {};
    }
}

QVariant ClipboardListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 3 && orientation == Qt::Horizontal && role == Qt::DisplayRole) return dateHeader_;
    return RecordListModel::headerData(section, orientation, role);
}

int ClipboardListModel::rowOf(const qd::ClipboardRecord& entry) const {
    if (rowCount() == 0) return -1;
    qd::Table<qd::ClipboardRecord> t(ds(), qd::tables::Clipboard());
    if (t.open() != qd::Level::Benign || !qd::fetchClipEntry(t, entry)) return -1;
    return rowOfStoreRow(t.currentRowId());
}

// ---- the category pick list

std::optional<std::string> selectClipboardCategory(qd::DataSet& ds, qdui::QtUserInterface& ui,
                                                   const std::string& current, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName("SelectClipboardCategory");
    dialog.setWindowTitle("Select a Category");
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName("Categories");
    list->setAccessibleName("Categories");
    for (const std::string& c : qd::clipCategories(ds))
        list->addItem(q(c));
    const auto found = list->findItems(q(qd::text::trimmedRight(current)), Qt::MatchFixedString);
    list->setCurrentRow(found.isEmpty() ? 0 : list->row(found.first()));
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* select = buttons->addButton("&Select", QDialogButtonBox::AcceptRole);
    select->setObjectName("Select");
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("Cancel");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(280, 320);
    if (ui.runDialog(dialog) != QDialog::Accepted || !list->currentItem()) return std::nullopt;
    return list->currentItem()->text().toStdString();
}

// ---- the entry form

ClipboardRecordForm::ClipboardRecordForm(ClipboardUiContext& context, Mode mode, qd::ClipboardRecord record,
                                         QWidget* parent)
    : QDialog(parent), context_(context), mode_(mode), record_(std::move(record)) {
    setObjectName("UpdateClipboard");
    setWindowTitle("Clipboard Record");
    auto* layout = new QVBoxLayout(this);
    const char* action = mode == Mode::View  ? "View Clipboard Record"
                         : mode == Mode::New ? "New clipboard entry"
                                             : "Edit clipboard entry ";
    auto* actionLabel = new QLabel(action, this);
    actionLabel->setObjectName("Action");
    layout->addWidget(actionLabel);
    auto* form = new QFormLayout;
    contents_ = new QPlainTextEdit(q(record_.ClipContents), this);
    contents_->setObjectName("Contents");
    contents_->setAccessibleName("Contents");
    form->addRow("Contents", contents_);
    auto* categoryRow = new QHBoxLayout;
    category_ = new QLineEdit(q(record_.Category), this);
    category_->setObjectName("Category");
    category_->setAccessibleName("Category:");
    category_->setMaxLength(20);
    categoryRow->addWidget(category_, 1);
    auto* lookUp = new QToolButton(this);
    lookUp->setText("...");
    lookUp->setObjectName("LookUpCategory");
    lookUp->setAccessibleName("Select a Category");
    categoryRow->addWidget(lookUp);
    form->addRow("Category:", categoryRow);
    layout->addLayout(form);
    keep_ = new QCheckBox("Keep this clipboard record", this);
    keep_->setObjectName("ClipKeep");
    keep_->setAccessibleName("Keep this clipboard record");
    keep_->setChecked(record_.ClipKeep != 0);
    layout->addWidget(keep_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ClipboardRecordForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ClipboardRecordForm::reject);
    layout->addWidget(buttons);
    connect(lookUp, &QToolButton::clicked, this, [this] {
        if (auto c = selectClipboardCategory(context_.ds, context_.ui, category_->text().toStdString(), this))
            category_->setText(q(*c));
    });
    if (mode == Mode::View) {
        contents_->setReadOnly(true);
        category_->setReadOnly(true);
        lookUp->setEnabled(false);
        keep_->setEnabled(false);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
        buttons->button(QDialogButtonBox::Cancel)->setText("Cl&ose");
    }
    resize(520, 360);
}

bool ClipboardRecordForm::checkCategory() {
    const std::string c = qd::text::trimmedRight(category_->text().toStdString());
    if (c.empty() || qd::clipCategoryKnown(context_.ds, c)) return true;
    if (auto chosen = selectClipboardCategory(context_.ds, context_.ui, c, this)) {
        category_->setText(q(*chosen));
        return true;
    }
    category_->setFocus();
    return false;
}

void ClipboardRecordForm::accept() {
    if (mode_ == Mode::View) return;
    const std::string text = contents_->toPlainText().toStdString();
    if (qd::text::trim(text).empty()) {
        context_.ui.message("Missing Information", "Contents must be entered.", qd::MessageIcon::Exclamation);
        contents_->setFocus();
        return;
    }
    if (!checkCategory()) return;
    qd::Table<qd::ClipboardRecord> t(context_.ds, qd::tables::Clipboard());
    if (t.open() != qd::Level::Benign) return;
    if (mode_ == Mode::Edit) {
        if (!qd::fetchClipEntry(t, record_)) {
            context_.ui.message("Clipboard Record", "This entry is not there any more.",
                                qd::MessageIcon::Exclamation);
            return;
        }
    } else {
        t.rec = record_;
    }
    t.rec.ClipContents = qd::fitText(text, qd::kMaxClipText);
    // Edited and hand-made entries take part in the de-duplication.
    t.rec.ClipHashKey = qd::ClipHashKey(t.rec.ClipContents);
    t.rec.Category = category_->text().toStdString();
    t.rec.ClipKeep = keep_->isChecked() ? 1 : 0;
    // A hash key another entry has: the record layer's duplicate-key message; the form stays.
    const qd::Level l = mode_ == Mode::Edit ? t.update(7) : t.insert();
    if (l != qd::Level::Benign) return;
    record_ = t.rec;
    QDialog::accept();
}

// ---- Clipboard Manager

ClipboardManagerWindow::ClipboardManagerWindow(ClipboardUiContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("BrowseClipboard");
    setWindowTitle("Clipboard Manager");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* outer = new QVBoxLayout(this);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName("Tabs");
    tabs_->setAccessibleName("Sort order");
    for (const char* t : {"By Date", "By Content", "By Category", "Saved Only"})
        tabs_->addTab(t);
    outer->addWidget(tabs_);
    auto* searchRow = new QHBoxLayout;
    auto* searchLabel = new QLabel("&Search:", this);
    search_ = new QLineEdit(this);
    search_->setObjectName("Search");
    search_->setAccessibleName("Search");
    search_->setClearButtonEnabled(true);
    search_->setPlaceholderText("Text the entries contain");
    searchLabel->setBuddy(search_);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(search_, 1);
    outer->addLayout(searchRow);
    query_ = new qdui::QueryBar(
        {
            {fieldIndex("Abbreviation"), "Abbreviation", qdui::QueryFieldKind::Text},
            {fieldIndex("Category"), "Category", qdui::QueryFieldKind::Text},
            {fieldIndex("ClipDate"), "Date", qdui::QueryFieldKind::Date},
            {fieldIndex("ClipTime"), "Time", qdui::QueryFieldKind::Time},
            {fieldIndex("ClipHashKey"), "Hash key (no spaces or graphic characters)",
             qdui::QueryFieldKind::Text},
            {fieldIndex("ClipContents"), "Contents", qdui::QueryFieldKind::Text},
            {fieldIndex("ClipKeep"), "Keep", qdui::QueryFieldKind::Flag},
        },
        "entries", this);
    outer->addWidget(query_->shown());
    connect(query_, &qdui::QueryBar::changed, this, [this] { applyFilter(); });
    auto* body = new QHBoxLayout;
    model_ = new ClipboardListModel(context_.ds, this);
    view_ = new QTableView(this);
    view_->setObjectName("Entries");
    view_->setAccessibleName("Clipboard entries");
    view_->setModel(model_);
    view_->setItemDelegate(new RunnableDelegate(view_));
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(22);
    view_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    view_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    view_->setColumnWidth(0, 24);
    view_->setColumnWidth(2, 150);
    view_->setColumnWidth(3, 150);
    view_->setWordWrap(false);
    body->addWidget(view_, 1);
    auto* buttons = new QVBoxLayout;
    query_->addButtons(buttons);
    buttons->addSpacing(8);
    connect(addButton(this, buttons, "CopyToClipboard", "&Copy to Clipboard"), &QPushButton::clicked, this,
            &ClipboardManagerWindow::copyPressed);
    connect(addButton(this, buttons, "View", "&View"), &QPushButton::clicked, this,
            &ClipboardManagerWindow::viewPressed);
    connect(addButton(this, buttons, "New", "&New"), &QPushButton::clicked, this,
            &ClipboardManagerWindow::newPressed);
    connect(addButton(this, buttons, "Edit", "&Edit"), &QPushButton::clicked, this,
            &ClipboardManagerWindow::editPressed);
    connect(addButton(this, buttons, "Delete", "&Delete"), &QPushButton::clicked, this,
            &ClipboardManagerWindow::deletePressed);
    connect(addButton(this, buttons, "ToggleSave", "&Toggle Save"), &QPushButton::clicked, this,
            &ClipboardManagerWindow::toggleSavePressed);
    connect(addButton(this, buttons, "Run", "&Run", "Try to execute embedded programs/URLs"),
            &QPushButton::clicked, this, &ClipboardManagerWindow::runPressed);
    buttons->addStretch(1);
    connect(addButton(this, buttons, "Close", "Cl&ose"), &QPushButton::clicked, this,
            [this] { qdui::closeWindow(this); });
    body->addLayout(buttons);
    outer->addLayout(body, 1);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) {
        model_->setOrder(static_cast<ClipboardListModel::Order>(tab));
        selectRow(0);
    });
    connect(search_, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(view_, &QTableView::doubleClicked, this, [this] { editPressed(); });
    selectRow(0);
}

QPushButton* ClipboardManagerWindow::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

void ClipboardManagerWindow::applyFilter() {
    qd::RecordFilter f = query_->query();
    const std::string s = search_->text().trimmed().toStdString();
    if (!s.empty()) f.push_back({fieldIndex("ClipContents"), qd::FieldMatch::Contains, s, {}, {}});
    model_->setQuery(f);
    selectRow(0);
}

void ClipboardManagerWindow::refresh() {
    const int row = currentRow();
    const std::optional<qd::ClipboardRecord> keep =
        row >= 0 ? std::optional<qd::ClipboardRecord>(model_->record(row)) : std::nullopt;
    model_->reload();
    const int again = keep ? model_->rowOf(*keep) : -1;
    selectRow(again >= 0 ? again : std::min(row, model_->rowCount() - 1));
}

int ClipboardManagerWindow::currentRow() const {
    const QModelIndex i = view_->currentIndex();
    return i.isValid() && i.row() < model_->rowCount() ? i.row() : -1;
}

void ClipboardManagerWindow::selectRow(int row) {
    if (row < 0 || row >= model_->rowCount()) return;
    view_->setCurrentIndex(model_->index(row, 1));
    view_->selectRow(row);
}

void ClipboardManagerWindow::copyPressed() {
    const int row = currentRow();
    if (row < 0) return;
    context_.clipboard.setText(qd::text::trimmedRight(model_->record(row).ClipContents));
}

void ClipboardManagerWindow::viewPressed() {
    const int row = currentRow();
    if (row < 0) return;
    ClipboardRecordForm form(context_, ClipboardRecordForm::Mode::View, model_->record(row), this);
    context_.ui.runDialog(form);
}

void ClipboardManagerWindow::newPressed() {
    qd::ClipboardRecord r{};
    r.ClipContents = qd::fitText(context_.clipboard.text(), qd::kMaxClipText);
    const qd::Moment now = context_.clock.now();
    r.ClipDate = now.date;
    r.ClipTime = now.time;
    r.Category = "General";
    ClipboardRecordForm form(context_, ClipboardRecordForm::Mode::New, r, this);
    if (context_.ui.runDialog(form) != QDialog::Accepted) return;
    model_->reload();
    selectRow(model_->rowOf(form.record()));
}

void ClipboardManagerWindow::editPressed() {
    const int row = currentRow();
    if (row < 0) return;
    ClipboardRecordForm form(context_, ClipboardRecordForm::Mode::Edit, model_->record(row), this);
    if (context_.ui.runDialog(form) != QDialog::Accepted) return;
    model_->reload();
    selectRow(model_->rowOf(form.record()));
}

void ClipboardManagerWindow::deletePressed() {
    const int row = currentRow();
    if (row < 0) return;
    const qd::ClipboardRecord entry = model_->record(row);
    qd::Table<qd::ClipboardRecord> t(context_.ds, qd::tables::Clipboard());
    if (t.open() != qd::Level::Benign) return;
    if (!qd::fetchClipEntry(t, entry)) {
        refresh();
        return;
    }
    bool ask = true;
    if (t.rec.ClipKeep != 0) {
        if (!context_.ui.ask(
                "Delete Record",
                "This clipboard record has a \"Save\" indicator.  Are you sure you want to delete it?"))
            return;
        ask = false;
    }
    qd::RelationManager(t).deleteRecord(ask);
    model_->reload();
    selectRow(std::min(row, model_->rowCount() - 1));
}

void ClipboardManagerWindow::toggleSavePressed() {
    const int row = currentRow();
    if (row < 0) return;
    qd::toggleClipKeep(context_.ds, model_->record(row));
    refresh();
}

void ClipboardManagerWindow::runPressed() {
    const int row = currentRow();
    if (row < 0 || !context_.start) return;
    for (const std::string& target : qd::clipRunTargets(model_->record(row).ClipContents))
        context_.start(target);
}

// ---- Clipboard Categories

ClipboardCategoriesWindow::ClipboardCategoriesWindow(ClipboardUiContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("BrowseClipboardCategories");
    setWindowTitle("Clipboard Categories");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* outer = new QHBoxLayout(this);
    auto* lists = new QVBoxLayout;
    lists->addWidget(new QLabel("Categories", this));
    list_ = new QListWidget(this);
    list_->setObjectName("Categories");
    list_->setAccessibleName("Categories");
    lists->addWidget(list_, 1);
    lists->addWidget(new QLabel("Clipboard Entries for Highlighted Category", this));
    model_ = new ClipboardListModel(context_.ds, this);
    model_->setOrder(ClipboardListModel::Order::ByCategory);
    entries_ = new QTableView(this);
    entries_->setObjectName("Entries");
    entries_->setAccessibleName("Clipboard Entries for Highlighted Category");
    entries_->setModel(model_);
    entries_->verticalHeader()->hide();
    entries_->setWordWrap(false);
    entries_->setSelectionBehavior(QAbstractItemView::SelectRows);
    entries_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Two columns: "Date Saved" and "Contents".
    entries_->horizontalHeader()->moveSection(3, 0);
    entries_->setColumnHidden(0, true);
    entries_->setColumnHidden(2, true);
    entries_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    entries_->setColumnWidth(3, 150);
    model_->setDateHeader("Date Saved");
    lists->addWidget(entries_, 1);
    outer->addLayout(lists, 1);
    auto* buttons = new QVBoxLayout;
    connect(addButton(this, buttons, "New", "&New"), &QPushButton::clicked, this,
            &ClipboardCategoriesWindow::newPressed);
    connect(addButton(this, buttons, "Edit", "&Edit"), &QPushButton::clicked, this,
            &ClipboardCategoriesWindow::editPressed);
    connect(addButton(this, buttons, "Delete", "&Delete"), &QPushButton::clicked, this,
            &ClipboardCategoriesWindow::deletePressed);
    buttons->addStretch(1);
    connect(addButton(this, buttons, "Close", "&Close"), &QPushButton::clicked, this,
            [this] { qdui::closeWindow(this); });
    outer->addLayout(buttons);
    connect(list_, &QListWidget::currentRowChanged, this, [this] { showEntries(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { editPressed(); });
    reload();
    if (list_->count() > 0) list_->setCurrentRow(0);
    showEntries();
}

QString ClipboardCategoriesWindow::current() const {
    return list_->currentItem() ? list_->currentItem()->text() : QString();
}

void ClipboardCategoriesWindow::reload() {
    const QString keep = current();
    list_->clear();
    for (const std::string& c : qd::clipCategories(context_.ds))
        list_->addItem(q(c));
    const auto found = list_->findItems(keep, Qt::MatchFixedString);
    if (!found.isEmpty()) list_->setCurrentItem(found.first());
}

void ClipboardCategoriesWindow::showEntries() {
    const std::string c = current().toStdString();
    // No category highlighted: no entries (an empty category matches none).
    model_->setQuery({{qd::tables::Clipboard().findField("Category"),
                       qd::FieldMatch::Equals,
                       c.empty() ? std::string("\x01") : c,
                       {},
                       {}}});
}

bool ClipboardCategoriesWindow::addCategory(const std::string& name) {
    qd::Table<qd::ClipboardCategoriesRecord> t(context_.ds, qd::tables::ClipboardCategories());
    if (t.open() != qd::Level::Benign) return false;
    t.rec.Category = name;
    if (t.insert() != qd::Level::Benign) return false;
    reload();
    const auto found = list_->findItems(q(t.rec.Category), Qt::MatchFixedString);
    if (!found.isEmpty()) list_->setCurrentItem(found.first());
    return true;
}

bool ClipboardCategoriesWindow::renameCategory(const std::string& from, const std::string& to) {
    qd::Table<qd::ClipboardCategoriesRecord> t(context_.ds, qd::tables::ClipboardCategories());
    if (t.open() != qd::Level::Benign) return false;
    t.rec.Category = from;
    if (t.fetch("KeyCategory") != qd::Level::Benign) {
        reload();
        return false;
    }
    t.rec.Category = to;
    // Renaming renames the category in every entry that uses it (one transaction).
    const bool ok = qd::RelationManager(t).update() == qd::Level::Benign;
    reload();
    if (ok) {
        const auto found = list_->findItems(q(to), Qt::MatchFixedString);
        if (!found.isEmpty()) list_->setCurrentItem(found.first());
    }
    showEntries();
    return ok;
}

bool ClipboardCategoriesWindow::deleteCategory(const std::string& name) {
    qd::Table<qd::ClipboardCategoriesRecord> t(context_.ds, qd::tables::ClipboardCategories());
    if (t.open() != qd::Level::Benign) return false;
    t.rec.Category = name;
    if (t.fetch("KeyCategory") != qd::Level::Benign) {
        reload();
        return false;
    }
    // A category that entries still use is refused with the relation's message.
    const bool ok = qd::RelationManager(t).deleteRecord(true) == qd::Level::Benign;
    reload();
    showEntries();
    return ok;
}

void ClipboardCategoriesWindow::newPressed() {
    qdschedui::CategoryForm form("Add Clipboard Category", {}, context_.ui, this);
    form.setObjectName("UpdateClipboardCategories");
    if (context_.ui.runDialog(form) != QDialog::Accepted) return;
    addCategory(form.name().toStdString());
}

void ClipboardCategoriesWindow::editPressed() {
    const QString from = current();
    if (from.isEmpty()) return;
    qdschedui::CategoryForm form("Change Clipboard Category", from, context_.ui, this);
    form.setObjectName("UpdateClipboardCategories");
    if (context_.ui.runDialog(form) != QDialog::Accepted || form.name() == from) return;
    renameCategory(from.toStdString(), form.name().toStdString());
}

void ClipboardCategoriesWindow::deletePressed() {
    const QString name = current();
    if (!name.isEmpty()) deleteCategory(name.toStdString());
}

} // namespace qdclipui
