// The query window behind the "&Query" buttons of the lists: one row per field
// the list offers, each with a condition (equals, contains, begins with, a range
// for numbers, dates and times, yes/no for flags) and its value. The conditions
// are combined with AND into a RecordFilter, which the list's store reads with
// bound values; nothing typed here is ever read as query text.
#pragma once

#include "data/RecordFilter.h"

#include <QDialog>
#include <QString>

#include <vector>

class QBoxLayout;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace qdui {

enum class QueryFieldKind { Text, Number, Date, Time, Flag };

struct QueryField {
    int field = -1; // value index in the table
    QString label;
    QueryFieldKind kind = QueryFieldKind::Text;
};

class QueryDialog : public QDialog {
    Q_OBJECT
public:
    // `current` fills the rows of the fields it has conditions on.
    QueryDialog(const std::vector<QueryField>& fields, const qd::RecordFilter& current,
                QWidget* parent = nullptr);

    // The conditions of the rows that have one, in row order. Valid after the
    // dialog was accepted.
    qd::RecordFilter filter() const { return filter_; }

    // The row widgets of a field, for tests driving the window.
    QComboBox* conditionBox(int row) const;
    QWidget* valueEditor(int row) const;
    QWidget* upToEditor(int row) const;

    // The conditions the rows hold now; false (with the reason, the offending
    // row's editor focused) when a value cannot be read.
    bool readRows(qd::RecordFilter& out, QString* why = nullptr) const;

private:
    struct Row {
        QueryField field;
        QComboBox* condition = nullptr;
        QWidget* value = nullptr;
        QWidget* upTo = nullptr;
    };
    void addRow(const QueryField& f, const qd::FieldCondition* current);
    void conditionChanged(int row);
    void accept() override;

    std::vector<Row> rows_;
    qd::RecordFilter filter_;
};

// The text a list shows while a query applies: "field condition value" parts
// joined by " and " ("" for no query).
QString describeQuery(const std::vector<QueryField>& fields, const qd::RecordFilter& filter);

// What a list window needs for its query: the "&Query" button that opens the
// query window over the list's fields, "R&eset" that drops the query, and the
// line that shows the query in force (hidden without one). `changed` tells the
// list to read its rows again with the new query.
class QueryBar : public QObject {
    Q_OBJECT
public:
    // `rows` names what the list holds, for the buttons' tips ("tasks").
    QueryBar(std::vector<QueryField> fields, const QString& rows, QWidget* owner);

    QPushButton* queryButton() const { return query_; }
    QPushButton* resetButton() const { return reset_; }
    // The line showing the query; the list places it.
    QLabel* shown() const { return shown_; }
    // Both buttons added to a row of buttons.
    void addButtons(QBoxLayout* row) const;

    const std::vector<QueryField>& fields() const { return fields_; }
    const qd::RecordFilter& query() const { return filter_; }
    void setQuery(const qd::RecordFilter& query);
    // Opens the query window; the query changes when it is accepted.
    void open();

signals:
    void changed(const qd::RecordFilter& query);

private:
    std::vector<QueryField> fields_;
    qd::RecordFilter filter_;
    QWidget* owner_;
    QPushButton* query_;
    QPushButton* reset_;
    QLabel* shown_;
};

} // namespace qdui
