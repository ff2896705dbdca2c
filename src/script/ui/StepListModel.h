// The steps of one task or template as a list model: sequence number, action
// and description, read a page at a time in key order as the view scrolls.
#pragma once

#include "script/ScriptEditing.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <vector>

namespace qdscriptui {

class StepListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kColSequence, kColAction, kColDescription, kColumnCount };
    static constexpr int kSequenceRole = Qt::UserRole + 1;
    static constexpr int kPageSize = 256;

    StepListModel(qd::DataSet& ds, qd::StepOwner owner, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // Reads the list again from the first step.
    void refresh();
    // The sequence number of a row (0 when out of range).
    std::int32_t sequenceAt(int row) const;
    // The row of a step among those read, reading further pages until it is
    // found; -1 when the owner has no such step.
    int rowOfSequence(std::int32_t sequence);
    // The record layer's error of the last read ("" when fine).
    const QString& error() const { return error_; }
    const qd::StepOwner& owner() const { return owner_; }

private:
    struct Row {
        std::int32_t sequence = 0;
        QString action;
        QString description;
    };
    // Appends up to kPageSize steps after the last one read.
    void readPage();

    qd::DataSet& ds_;
    qd::StepOwner owner_;
    std::vector<Row> rows_;
    bool atEnd_ = false;
    QString error_;
};

} // namespace qdscriptui
