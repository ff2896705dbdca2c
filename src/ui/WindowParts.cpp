#include "ui/WindowParts.h"

#include <QBoxLayout>
#include <QDialog>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>

namespace qdui {

QPushButton* namedButton(QWidget* parent, const QString& text, const char* name, QBoxLayout* row,
                         const QString& tip) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(text).remove('&'));
    if (!tip.isEmpty()) b->setToolTip(tip);
    if (row) row->addWidget(b);
    return b;
}

QTableView* recordTable(QWidget* parent, const char* name, const QString& accessibleName,
                        QAbstractItemModel* model) {
    auto* t = new QTableView(parent);
    t->setObjectName(name);
    t->setAccessibleName(accessibleName);
    t->setModel(model);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    return t;
}

void closeWindow(QWidget* window) {
    if (auto* child = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        child->close();
    else if (auto* dialog = qobject_cast<QDialog*>(window->window()); dialog && dialog != window)
        dialog->reject(); // a list shown as a pick list inside a dialog
    else
        window->close();
}

} // namespace qdui
