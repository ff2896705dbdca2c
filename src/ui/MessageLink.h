// The hand-over of a message to the separate message program: the MsgLink
// record named by "ID=<n>" on its command line.
#pragma once

#include "perform/Frame.h"

#include <optional>
#include <string>
#include <vector>

namespace qd {
class DataSet;
}

namespace qdui {

struct MessageProgramArgs {
    int id = 0;
    std::optional<std::string> dataDir;
    std::string error;
};

// "ID=<n>" (any case) and "--data DIR".
MessageProgramArgs parseMessageProgramArgs(const std::vector<std::string>& args);

// The record's title, text and alarm file; nullopt with `error` when there is
// no such record (already shown, or never handed over) or the file cannot be read.
std::optional<qd::MessageRequest> readMessageLink(qd::DataSet& ds, int id, std::string& error);
// Removes the record once its message is on the screen.
bool deleteMessageLink(qd::DataSet& ds, int id);

} // namespace qdui
