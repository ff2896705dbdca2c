// The script file reader: any bytes read; what was read writes out and reads
// back the same.
#include "script/ScriptFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const qd::ScriptFileContent c = qd::ParseScriptFileText(text);
    const qd::ScriptFileContent again = qd::ParseScriptFileText(qd::WriteScriptFileText(c.steps));
    if (again.steps != c.steps) std::abort();
    return 0;
}
