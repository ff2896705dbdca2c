// The splash window shown when the frame opens: the program's name, version
// and icon over the frame. It goes at the first menu selection (a menu of the
// frame opened or a toolbar button used), on a click, or after a few seconds.
#pragma once

class QMainWindow;
class QWidget;

namespace qdui {

// Returns the splash window (deleted when it closes).
QWidget* showSplash(QMainWindow& frame, int closeAfterMs = 4000);

} // namespace qdui
