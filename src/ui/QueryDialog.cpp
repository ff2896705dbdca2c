#include "ui/QueryDialog.h"

#include "data/Calendar.h"
#include "ui/WindowParts.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace qdui {

namespace {

using qd::FieldCondition;
using qd::FieldMatch;

// The conditions a row offers, by the kind of its field. The item data names
// the condition for readRows.
struct Choice {
    const char* text;
    const char* code;
};
std::vector<Choice> choicesFor(QueryFieldKind kind) {
    switch (kind) {
    case QueryFieldKind::Text:
        return {{"(any)", "any"},
                {"equals", "eq"},
                {"contains", "contains"},
                {"begins with", "begins"},
                {"is not", "ne"}};
    case QueryFieldKind::Number:
        return {{"(any)", "any"},     {"equals", "eq"},  {"between", "between"},
                {"at least", "from"}, {"at most", "to"}, {"is not", "ne"}};
    case QueryFieldKind::Date:
        return {{"(any)", "any"},
                {"on", "eq"},
                {"between", "between"},
                {"on or after", "from"},
                {"on or before", "to"}};
    case QueryFieldKind::Time:
        return {{"(any)", "any"},
                {"at", "eq"},
                {"between", "between"},
                {"at or after", "from"},
                {"at or before", "to"}};
    case QueryFieldKind::Flag:
        return {{"(any)", "any"}, {"yes", "yes"}, {"no", "no"}};
    }
    return {};
}

QDate toQDate(long long d) {
    const qd::CivilDate c = qd::civilFromDate(static_cast<qd::Date>(d));
    return QDate(c.year, c.month, c.day);
}
long long fromQDate(const QDate& d) {
    return qd::dateFromMDY(d.month(), d.day(), d.year());
}
QTime toQTime(long long t) {
    const qd::ClockTime c = qd::clockFromTime(static_cast<qd::Time>(t));
    return QTime(c.hour, c.minute, c.second, c.centi * 10);
}
long long fromQTime(const QTime& t) {
    return qd::timeFromHMS(t.hour(), t.minute(), t.second(), t.msec() / 10);
}

QWidget* makeEditor(QueryFieldKind kind, const QString& name, QWidget* parent) {
    QWidget* w = nullptr;
    switch (kind) {
    case QueryFieldKind::Text:
    case QueryFieldKind::Number:
        w = new QLineEdit(parent);
        break;
    case QueryFieldKind::Date: {
        auto* d = new QDateEdit(QDate::currentDate(), parent);
        d->setCalendarPopup(true);
        d->setDateRange(QDate(1801, 1, 1), QDate(2099, 12, 31));
        w = d;
        break;
    }
    case QueryFieldKind::Time: {
        auto* t = new QTimeEdit(QTime(0, 0), parent);
        t->setDisplayFormat("HH:mm:ss");
        w = t;
        break;
    }
    case QueryFieldKind::Flag:
        return nullptr;
    }
    w->setAccessibleName(name);
    return w;
}

// The value of an editor for a condition; false when a number cannot be read.
bool editorValue(QueryFieldKind kind, QWidget* w, std::variant<long long, std::string>& out) {
    switch (kind) {
    case QueryFieldKind::Text:
        out = static_cast<QLineEdit*>(w)->text().toStdString();
        return true;
    case QueryFieldKind::Number: {
        bool ok = false;
        const long long n = static_cast<QLineEdit*>(w)->text().trimmed().toLongLong(&ok);
        out = n;
        return ok;
    }
    case QueryFieldKind::Date:
        out = fromQDate(static_cast<QDateEdit*>(w)->date());
        return true;
    case QueryFieldKind::Time:
        out = fromQTime(static_cast<QTimeEdit*>(w)->time());
        return true;
    case QueryFieldKind::Flag:
        break;
    }
    return false;
}

void setEditorValue(QueryFieldKind kind, QWidget* w, const std::variant<long long, std::string>& v) {
    if (!w) return;
    const bool text = std::holds_alternative<std::string>(v);
    switch (kind) {
    case QueryFieldKind::Text:
        if (text) static_cast<QLineEdit*>(w)->setText(QString::fromStdString(std::get<std::string>(v)));
        break;
    case QueryFieldKind::Number:
        if (!text) static_cast<QLineEdit*>(w)->setText(QString::number(std::get<long long>(v)));
        break;
    case QueryFieldKind::Date:
        if (!text && std::get<long long>(v) > 0)
            static_cast<QDateEdit*>(w)->setDate(toQDate(std::get<long long>(v)));
        break;
    case QueryFieldKind::Time:
        if (!text && std::get<long long>(v) > 0)
            static_cast<QTimeEdit*>(w)->setTime(toQTime(std::get<long long>(v)));
        break;
    case QueryFieldKind::Flag:
        break;
    }
}

// The code of the choice that shows a stored condition.
QString codeOf(const FieldCondition& c, QueryFieldKind kind) {
    switch (c.match) {
    case FieldMatch::Equals: // a flag: equal to 0
        return kind == QueryFieldKind::Flag ? "no" : "eq";
    case FieldMatch::NotEquals: // a flag: anything but 0
        return kind == QueryFieldKind::Flag ? "yes" : "ne";
    case FieldMatch::Contains:
        return "contains";
    case FieldMatch::BeginsWith:
        return "begins";
    case FieldMatch::Range:
        if (c.from && c.to) return "between";
        return c.from ? "from" : "to";
    case FieldMatch::InMonth: // views use it; the query window does not offer it
        return "any";
    }
    return "any";
}

QString valueText(const QueryField& f, const std::variant<long long, std::string>& v) {
    if (std::holds_alternative<std::string>(v))
        return "\"" + QString::fromStdString(std::get<std::string>(v)) + "\"";
    const long long n = std::get<long long>(v);
    if (f.kind == QueryFieldKind::Date) return toQDate(n).toString(Qt::ISODate);
    if (f.kind == QueryFieldKind::Time) return toQTime(n).toString("HH:mm:ss");
    return QString::number(n);
}

} // namespace

QueryDialog::QueryDialog(const std::vector<QueryField>& fields, const qd::RecordFilter& current,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Query");
    setObjectName("QueryDialog");
    setAccessibleName("Query");
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel("Show only the records that meet every condition below.", this);
    layout->addWidget(intro);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    for (const QueryField& f : fields) {
        const FieldCondition* found = nullptr;
        for (const FieldCondition& c : current)
            if (c.field == f.field) found = &c;
        addRow(f, found);
        const Row& r = rows_.back();
        const int line = static_cast<int>(rows_.size()) - 1;
        auto* label = new QLabel(f.label, this);
        label->setBuddy(r.condition);
        grid->addWidget(label, line, 0);
        grid->addWidget(r.condition, line, 1);
        if (r.value) grid->addWidget(r.value, line, 2);
        if (r.upTo) {
            grid->addWidget(r.upTo, line, 3);
        }
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok->setAccessibleName("OK");
    ok->setDefault(true);
    QPushButton* clear = buttons->addButton("C&lear", QDialogButtonBox::ResetRole);
    clear->setAccessibleName("Clear");
    clear->setToolTip("Set every condition back to (any)");
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QueryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(clear, &QPushButton::clicked, this, [this] {
        for (Row& r : rows_)
            r.condition->setCurrentIndex(0);
    });
    layout->addWidget(buttons);
}

void QueryDialog::addRow(const QueryField& f, const FieldCondition* current) {
    Row r;
    r.field = f;
    r.condition = new QComboBox(this);
    r.condition->setAccessibleName(f.label + " condition");
    for (const Choice& c : choicesFor(f.kind))
        r.condition->addItem(c.text, QString(c.code));
    r.value = makeEditor(f.kind, f.label, this);
    if (f.kind == QueryFieldKind::Number || f.kind == QueryFieldKind::Date || f.kind == QueryFieldKind::Time)
        r.upTo = makeEditor(f.kind, f.label + " up to", this);
    if (current) {
        r.condition->setCurrentIndex(std::max(0, r.condition->findData(codeOf(*current, f.kind))));
        if (current->match == FieldMatch::Range) {
            if (current->from) setEditorValue(f.kind, r.value, *current->from);
            if (current->to) setEditorValue(f.kind, current->from ? r.upTo : r.value, *current->to);
        } else {
            setEditorValue(f.kind, r.value, current->value);
        }
    }
    rows_.push_back(r);
    const int row = static_cast<int>(rows_.size()) - 1;
    connect(r.condition, &QComboBox::currentIndexChanged, this, [this, row] { conditionChanged(row); });
    conditionChanged(row);
}

void QueryDialog::conditionChanged(int row) {
    Row& r = rows_[static_cast<std::size_t>(row)];
    const QString code = r.condition->currentData().toString();
    if (r.value) r.value->setEnabled(code != "any");
    if (r.upTo) r.upTo->setVisible(code == "between");
}

QComboBox* QueryDialog::conditionBox(int row) const {
    return rows_.at(static_cast<std::size_t>(row)).condition;
}
QWidget* QueryDialog::valueEditor(int row) const {
    return rows_.at(static_cast<std::size_t>(row)).value;
}
QWidget* QueryDialog::upToEditor(int row) const {
    return rows_.at(static_cast<std::size_t>(row)).upTo;
}

bool QueryDialog::readRows(qd::RecordFilter& out, QString* why) const {
    out.clear();
    for (const Row& r : rows_) {
        const QString code = r.condition->currentData().toString();
        if (code == "any") continue;
        FieldCondition c;
        c.field = r.field.field;
        if (code == "yes" || code == "no") {
            c.match = code == "yes" ? FieldMatch::NotEquals : FieldMatch::Equals;
            c.value = 0LL;
            out.push_back(c);
            continue;
        }
        std::variant<long long, std::string> first, second;
        const auto bad = [&](QWidget* editor) {
            if (why) *why = "\"" + r.field.label + "\" needs a whole number.";
            editor->setFocus();
            return false;
        };
        if (!editorValue(r.field.kind, r.value, first)) return bad(r.value);
        if (code == "between" && !editorValue(r.field.kind, r.upTo, second)) return bad(r.upTo);
        if (r.field.kind == QueryFieldKind::Text && std::get<std::string>(first).empty() && code != "eq" &&
            code != "ne") {
            if (why) *why = "\"" + r.field.label + "\" needs a text to look for.";
            r.value->setFocus();
            return false;
        }
        if (code == "eq") {
            c.match = FieldMatch::Equals;
            c.value = first;
        } else if (code == "ne") {
            c.match = FieldMatch::NotEquals;
            c.value = first;
        } else if (code == "contains") {
            c.match = FieldMatch::Contains;
            c.value = first;
        } else if (code == "begins") {
            c.match = FieldMatch::BeginsWith;
            c.value = first;
        } else {
            c.match = FieldMatch::Range;
            if (code == "between" || code == "from") c.from = first;
            if (code == "to") c.to = first;
            if (code == "between") {
                c.to = second;
                if (*c.to < *c.from) std::swap(*c.from, *c.to); // a range typed high to low
            }
        }
        out.push_back(c);
    }
    return true;
}

void QueryDialog::accept() {
    QString why;
    qd::RecordFilter f;
    if (!readRows(f, &why)) {
        QMessageBox::warning(this, "Query", why);
        return;
    }
    filter_ = f;
    QDialog::accept();
}

QString describeQuery(const std::vector<QueryField>& fields, const qd::RecordFilter& filter) {
    QStringList parts;
    for (const FieldCondition& c : filter) {
        const QueryField* f = nullptr;
        for (const QueryField& q : fields)
            if (q.field == c.field) f = &q;
        if (!f) continue;
        QString part = f->label + " ";
        const QString code = codeOf(c, f->kind);
        if (f->kind == QueryFieldKind::Flag) {
            part += code == "yes" ? "yes" : "no";
        } else if (c.match == FieldMatch::Range) {
            if (c.from && c.to)
                part += "between " + valueText(*f, *c.from) + " and " + valueText(*f, *c.to);
            else if (c.from)
                part += ">= " + valueText(*f, *c.from);
            else
                part += "<= " + valueText(*f, *c.to);
        } else {
            for (const Choice& ch : choicesFor(f->kind))
                if (code == ch.code) part += QString(ch.text) + " ";
            part += valueText(*f, c.value);
        }
        parts << part;
    }
    return parts.join(" and ");
}

QueryBar::QueryBar(std::vector<QueryField> fields, const QString& rows, QWidget* owner)
    : QObject(owner), fields_(std::move(fields)), owner_(owner) {
    query_ = namedButton(owner, "&Query", "Query", nullptr,
                         "Show only the " + rows + " that meet conditions on their fields");
    reset_ = namedButton(owner, "R&eset", "Reset", nullptr, "Show all the " + rows + " again");
    reset_->setEnabled(false);
    shown_ = new QLabel(owner);
    shown_->setObjectName("QueryShown");
    shown_->setAccessibleName("Query");
    shown_->setWordWrap(true);
    shown_->hide();
    connect(query_, &QPushButton::clicked, this, &QueryBar::open);
    connect(reset_, &QPushButton::clicked, this, [this] { setQuery({}); });
}

void QueryBar::addButtons(QBoxLayout* row) const {
    row->addWidget(query_);
    row->addWidget(reset_);
}

void QueryBar::setQuery(const qd::RecordFilter& query) {
    filter_ = query;
    shown_->setText("Query: " + describeQuery(fields_, filter_));
    shown_->setVisible(!filter_.empty());
    reset_->setEnabled(!filter_.empty());
    emit changed(filter_);
}

void QueryBar::open() {
    QueryDialog dialog(fields_, filter_, owner_);
    if (dialog.exec() == QDialog::Accepted) setQuery(dialog.filter());
}

} // namespace qdui
