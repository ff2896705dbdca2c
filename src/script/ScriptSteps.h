// The reading and writing of the steps of
// one task (table Scripting, by SCR:ID) or one template (table
// ScriptTemplateDetails, by QDD:WIZ_ID: the same record layout).
#pragma once

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/Progress.h"
#include "data/Records.h"
#include "data/TableDefs.h"
#include "script/StepActions.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// The index of the primary key of a step table (by owner ID, then Sequence).
int stepKeyIndex(const TableDef& table);

// Cuts every text field of a step to its width in the table layout (trailing
// blanks removed).
void fitStepFields(ScriptingRecord& step);

// A read or a write of fewer steps than this is over too soon for a progress
// window to be worth showing.
inline constexpr std::size_t kStepsShownInProgress = 500;

struct StepsResult {
    Level level = Level::Benign;
    std::string error; // the record layer's error text when level is not Benign
    std::vector<ScriptingRecord> steps;
    bool cancelled = false; // stopped through the progress window
    bool ok() const { return level == Level::Benign; }
};

struct StepStatus {
    Level level = Level::Benign;
    std::string error;
    bool cancelled = false; // stopped through the progress window; nothing was kept
    bool ok() const { return level == Level::Benign; }
};

// The steps of task (or template) `id` in sequence order. `table` is
// tables::Scripting() or tables::ScriptTemplateDetails(). With a progress
// window titled `title` the read can be cancelled (no steps are returned).
StepsResult LoadScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id, Progress* progress = nullptr,
                            const std::string& title = {});
inline StepsResult LoadScriptSteps(DataSet& ds, std::int32_t taskId) {
    return LoadScriptSteps(ds, tables::Scripting(), taskId);
}

// Deletes every step of task (or template) `id`, in one transaction.
StepStatus DeleteScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id);

// Replaces the steps of `id` by `steps` (their ID is set to `id`; a sequence of
// 0 is numbered after the highest in use), in one transaction: on failure the
// old steps stay.
StepStatus ReplaceScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id,
                              const std::vector<ScriptingRecord>& steps);

// Adds `steps` to `id` (their ID is set to `id`; a sequence of 0 is numbered
// after the highest in use), in one transaction: on failure none is added.
// With a progress window titled `title`, a cancel adds none either.
StepStatus AppendScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id,
                             const std::vector<ScriptingRecord>& steps, Progress* progress = nullptr,
                             const std::string& title = {});

// Highest sequence number in use by `id` (0 when it has no steps).
std::int32_t HighestSequence(DataSet& ds, const TableDef& table, std::int32_t id,
                             StepStatus* status = nullptr);

} // namespace qd
