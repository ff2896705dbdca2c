// The script engine as the dispatcher drives it.
#pragma once

#include <sys/types.h>

namespace qd {

class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // Scripts that are running now.
    virtual int runningScripts() const = 0;
    // A script was started by hand (it runs even while the dispatcher is inactive).
    virtual bool startedByHand() const = 0;
    // Executes the next due step of the step queue, if any.
    virtual void executeNextStep() = 0;
    // Queues the script steps of a task; `startHandle` is the process the task
    // started (0 for none).
    virtual void queueTaskScript(int taskId, pid_t startHandle) = 0;
    // Drops every running script.
    virtual void stopAll() = 0;
};

} // namespace qd
