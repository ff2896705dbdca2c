// qdctl commands of the schedule engine: occurrences of a task, its rule text,
// exceptions, holidays, the work file, rescheduling and history removal.
#pragma once

#include "Context.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qdctl {

// next|prev (ID | --task FIELD=VALUE...) --from DATE TIME [--count N]
int cmdNext(Context& c, const std::vector<std::string>& args, std::size_t pos);
int cmdPrev(Context& c, const std::vector<std::string>& args, std::size_t pos);
// matches (ID | --task FIELD=VALUE...) DATE
int cmdMatches(Context& c, const std::vector<std::string>& args, std::size_t pos);
// describe (ID | --task FIELD=VALUE...)
int cmdDescribe(Context& c, const std::vector<std::string>& args, std::size_t pos);
// easter YEAR
int cmdEaster(Context& c, const std::vector<std::string>& args, std::size_t pos);
// exceptions apply ID
int cmdExceptions(Context& c, const std::vector<std::string>& args, std::size_t pos);
// holidays roll | holidays list
int cmdHolidays(Context& c, const std::vector<std::string>& args, std::size_t pos);
// workfile --from DATE --to DATE
int cmdWorkfile(Context& c, const std::vector<std::string>& args, std::size_t pos);
// reschedule --at DATE TIME
int cmdReschedule(Context& c, const std::vector<std::string>& args, std::size_t pos);
// history remove [--expires N] [--remove-uncompleted] [--save-scripts]
int cmdHistory(Context& c, const std::vector<std::string>& args, std::size_t pos);

} // namespace qdctl
