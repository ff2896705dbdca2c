#pragma once

#include "Context.h"

namespace qdctl {

// script show|set|export|import|run|run-file ...
int cmdScript(Context& c, const std::vector<std::string>& args, std::size_t pos);
// vars: the variables the last script run left
int cmdVars(Context& c, const std::vector<std::string>& args, std::size_t pos);
// template list | template copy TEMPLATE_ID TASK_ID [--answer PROMPT=VALUE...]
int cmdTemplate(Context& c, const std::vector<std::string>& args, std::size_t pos);

} // namespace qdctl
