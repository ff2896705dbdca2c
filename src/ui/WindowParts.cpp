#include "ui/WindowParts.h"

#include <QBoxLayout>
#include <QDialog>
#include <QMdiSubWindow>
#include <QPushButton>

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

void closeWindow(QWidget* window) {
    if (auto* child = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        child->close();
    else if (auto* dialog = qobject_cast<QDialog*>(window->window()); dialog && dialog != window)
        dialog->reject(); // a list shown as a pick list inside a dialog
    else
        window->close();
}

} // namespace qdui
