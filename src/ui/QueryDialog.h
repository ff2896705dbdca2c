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

class QComboBox;
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

} // namespace qdui
