// The pictures of the menu, toolbar and tray entries: the desktop theme's icon
// where the freedesktop naming has one, else the program's own (one SVG set in
// the resources, drawn in the colours of the program's icon).
#pragma once

#include <QIcon>

#include <string>

namespace qdui {

// By the entry's internal name ("ViewLog", "ScheduledTasks", "StopScripts",
// the tray's "Restore", ...); a null icon for entries without a picture.
QIcon entryIcon(const std::string& id);
// The program's own picture alone, without the theme (for tests and pictures).
QIcon ownEntryIcon(const std::string& id);

} // namespace qdui
