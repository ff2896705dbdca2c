// The script text parser and generator: any text parses; generating text from
// the steps and parsing it again gives no more steps than before.
#include "script/ScriptText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto steps = qd::TextToSteps(text, 1, nullptr);
    for (const auto& s : steps)
        if (s.Action.size() > 27 || s.Keystrokes.size() > 255) std::abort();
    const auto again = qd::TextToSteps(qd::StepsToText(steps), 1, nullptr);
    if (again.size() > steps.size()) std::abort();
    return 0;
}
