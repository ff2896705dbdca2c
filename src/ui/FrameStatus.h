// What the main frame and the tray show after each tick, read from the
// dispatcher, and the texts of the status bar's date and time fields.
// (Dates and times are the day and time numbers of data/Calendar.h; this
// header stays free of it because Qt's moc reads it.)
#pragma once

#include <cstdint>
#include <string>

namespace qd {
class Dispatcher;
}

namespace qdui {

struct FrameState {
    std::string title;      // product name with " (Inactive)" or " (Unlocked)"
    std::string statusText; // "Next: ..." or "No tasks pending"
    std::string trayTip;    // at most 63 characters
    std::string trayIcon;   // "tray_ico", "traybusy_ico", "traybus2_ico"
    bool busy = false;      // a script runs: "Stop Active Scripts" and "View Current Script" enabled
    bool active = true;     // the dispatcher performs tasks
};

// The state the dispatcher shows after its last tick.
FrameState frameStateOf(const qd::Dispatcher& dispatcher);

// The date field: the weekday name, ", " and the date as "@D3" shows it
// ("Tuesday, DEC 08,2026").
std::string statusDateText(std::int32_t today);
// The time field ("@t7").
std::string statusTimeText(std::int32_t now);

// The tray tip cut to what the notification area takes (63 characters, never
// in the middle of a UTF-8 character).
std::string clipTrayTip(const std::string& tip);

} // namespace qdui
