// Small pieces every window of the program builds the same way.
#pragma once

#include <QString>

class QBoxLayout;
class QPushButton;
class QWidget;

namespace qdui {

// A push button named for tests and assistive tools: object name `name`,
// accessible name its text without the "&" of its accelerator, and `tip` as
// its tool tip when there is one. Added to `row` when one is given.
QPushButton* namedButton(QWidget* parent, const QString& text, const char* name, QBoxLayout* row = nullptr,
                         const QString& tip = {});

// Closes a window: inside the frame the child window that holds it (closing
// only the widget would leave an empty child window behind), inside a pick-list
// dialog that dialog (cancelled), else the window.
void closeWindow(QWidget* window);

} // namespace qdui
