// Small pieces every window of the program builds the same way.
#pragma once

#include <QPushButton>
#include <QString>

#include <utility>

class QAbstractItemModel;
class QBoxLayout;
class QTableView;
class QWidget;

namespace qdui {

// A push button named for tests and assistive tools: object name `name`,
// accessible name its text without the "&" of its accelerator, and `tip` as
// its tool tip when there is one. Added to `row` when one is given.
QPushButton* namedButton(QWidget* parent, const QString& text, const char* name, QBoxLayout* row = nullptr,
                         const QString& tip = {});

// A table of records over `model` with object name `name` for tests and
// `accessibleName` for assistive tools: whole rows selected one at a time,
// nothing edited in place, no row numbers.
QTableView* recordTable(QWidget* parent, const char* name, const QString& accessibleName,
                        QAbstractItemModel* model);

// Runs `pressed` (a slot of `owner`, or a function) when `button` is clicked;
// returns the button, so a row is built one statement a button.
template <class Owner, class Pressed>
QPushButton* whenClicked(QPushButton* button, Owner* owner, Pressed pressed) {
    QObject::connect(button, &QPushButton::clicked, owner, std::move(pressed));
    return button;
}

// Closes a window: inside the frame the child window that holds it (closing
// only the widget would leave an empty child window behind), inside a pick-list
// dialog that dialog (cancelled), else the window.
void closeWindow(QWidget* window);

} // namespace qdui
