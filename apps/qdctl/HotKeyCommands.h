// hotkeys list, clip list, clip add.
#pragma once

#include "Context.h"

namespace qdctl {

int cmdHotkeys(Context& c, const std::vector<std::string>& args, std::size_t pos);
int cmdClip(Context& c, const std::vector<std::string>& args, std::size_t pos);

} // namespace qdctl
