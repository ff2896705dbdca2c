// The script text parser and generator: any text parses; generating text from
// the steps and parsing it again gives no more steps than before.
#include "data/TextWidth.h"
#include "script/ScriptText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto steps = qd::TextToSteps(text, 1, nullptr);
    // Field widths count characters (a UTF-8 sequence is one), not bytes.
    for (const auto& s : steps)
        if (qd::cutText(s.Action, 27).size() != s.Action.size() ||
            qd::cutText(s.Keystrokes, 255).size() != s.Keystrokes.size())
            std::abort();
    const auto again = qd::TextToSteps(qd::StepsToText(steps), 1, nullptr);
    if (again.size() > steps.size()) std::abort();
    return 0;
}
