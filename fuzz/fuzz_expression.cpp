// The expression evaluator: any text is evaluated or rejected, never crashes.
#include "script/Expression.h"
#include "script/Values.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qd::VariableQueue vars;
    static bool ready = false;
    if (!ready) {
        vars.set("COUNT", "12");
        ready = true;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qd::ExpressionContext ctx{qd::dateFromMDY(6, 15, 2024), &vars};
    const qd::ExpressionResult r = qd::evaluateNumber(text, ctx);
    if (r.ok && !std::isfinite(r.value)) std::abort();
    return 0;
}
