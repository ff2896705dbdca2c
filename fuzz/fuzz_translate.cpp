// The bracket translator: any text, with variables whose values hold brackets
// and names of their own; the result stays within the working limit.
#include "data/Clock.h"
#include "script/Values.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qd::ManualClock clock({qd::dateFromMDY(1, 1, 2024), qd::timeFromHMS(12, 0, 0)});
    static qd::VariableQueue vars;
    static qd::ScriptValues values(vars);
    static bool ready = false;
    if (!ready) {
        values.setClock(&clock);
        vars.set("A", "[B]");
        vars.set("B", "[A]");
        vars.set("N", "3");
        vars.set("LONG", std::string(255, 'x'));
        ready = true;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find('\x01');
    if (split != std::string_view::npos) {
        // "name \x01 value": SetValue first, then translate the value again.
        values.SetValue(text.substr(0, split), text.substr(split + 1));
        if (vars.size() > 1000) vars.clear();
    }
    if (values.TranslateText(text).size() > 16384) std::abort();
    return 0;
}
