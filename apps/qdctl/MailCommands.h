// qdctl commands for mail and contacts.
#pragma once

#include "Context.h"

#include <functional>
#include <string>
#include <vector>

namespace qdctl {

// mail send MESSAGE_ID | mail test | mail password
int cmdMail(Context& c, const std::vector<std::string>& args, std::size_t pos);
// contacts list [--category NAME] | contacts copy ID
int cmdContacts(Context& c, const std::vector<std::string>& args, std::size_t pos);
// The SMTP password kept in the desktop keyring, looked up when a mail needs it.
std::function<std::string()> mailPasswordSource(Context& c);

} // namespace qdctl
