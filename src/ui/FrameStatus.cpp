#include "ui/FrameStatus.h"

#include "data/Calendar.h"
#include "data/Pictures.h"
#include "data/Text.h"
#include "dispatcher/Dispatcher.h"

#include <string_view>

namespace qdui {

FrameState frameStateOf(const qd::Dispatcher& d) {
    return FrameState{d.title(), d.statusText(), d.trayTip(), d.trayIcon(), d.busy(), d.active()};
}

std::string statusDateText(std::int32_t today) {
    static constexpr std::string_view kDays =
        "Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ";
    const std::string day =
        qd::text::trimmedRight(kDays.substr(static_cast<std::size_t>(qd::weekdayOf(today)) * 9, 9));
    return day + ", " + qd::formatDate(today, "@D3");
}

std::string statusTimeText(std::int32_t now) {
    return qd::formatTime(now, "@t7");
}

std::string clipTrayTip(const std::string& tip) {
    constexpr std::size_t kMax = 63;
    if (tip.size() <= kMax) return tip;
    std::size_t cut = kMax;
    // Step back over UTF-8 continuation bytes so a character is never split.
    while (cut > 0 && (static_cast<unsigned char>(tip[cut]) & 0xC0) == 0x80)
        --cut;
    return tip.substr(0, cut);
}

} // namespace qdui
