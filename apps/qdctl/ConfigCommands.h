// qdctl commands for the settings and the event log.
#pragma once

#include "Context.h"

#include <string>
#include <vector>

namespace qdctl {

// config get KEY | config set KEY VALUE | config list
int cmdConfig(Context& c, const std::vector<std::string>& args, std::size_t pos);
// log show [--tail N]
int cmdLog(Context& c, const std::vector<std::string>& args, std::size_t pos);

} // namespace qdctl
