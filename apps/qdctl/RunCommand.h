#pragma once

#include "Context.h"

namespace qdctl {

// run [--ticks N | --until DATE TIME] [/I] [User=NAME]
int cmdRun(Context& c, const std::vector<std::string>& args, std::size_t pos);

} // namespace qdctl
