// For measurements from outside: with QD_REPORT_SHOWN set in the environment, a
// window reports on standard output the moment it is first painted
// ("<name> shown <milliseconds since the process started>"). Without the
// variable nothing is installed.
#pragma once

class QWidget;

namespace qdui {

void reportWhenShown(QWidget* window, const char* name);
// The same line for a program that ends its start without showing a window.
void reportStarted(const char* name);

} // namespace qdui
