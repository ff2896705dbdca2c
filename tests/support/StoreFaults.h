// Runs a record operation once for every read, write, sync and lock it makes,
// with that one call failing (and once more per write with a full disk), each
// time on a fresh copy of the same data set. After every run the data must be
// either exactly what the operation leaves when nothing fails or exactly what
// was there before; a run that did not complete must have shown a message; and
// the store's own check must pass on every file.
#pragma once

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/UserInterface.h"
#include "support/FaultVfs.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qdtest {

struct FaultOperation {
    std::string name;
    // Builds the data the operation works on (no faults).
    std::function<void(qd::DataSet&)> prepare;
    // The operation on a freshly opened data set; true when it reported success.
    std::function<bool(qd::DataSet&)> run;
};

struct FaultSweep {
    int runs = 0;
    long long injected = 0;
    int completed = 0;       // data as after a run without faults, success reported
    int unchanged = 0;       // data as before, the failure shown
    int reportedButKept = 0; // failure shown, yet the change was in the journal and survived
    FaultCounts calls;       // calls the operation makes when nothing fails
    std::vector<std::string> problems;
};

// Every record-store file of the folder as text (the change stamps left out,
// they are new random values on every write).
std::string dumpDataSet(const std::filesystem::path& folder);
// "ok" when the store's check passes on every file, else what it reports.
std::string checkDataSet(const std::filesystem::path& folder);

// The test's verdict on a sweep: every problem found is a failure, there were
// runs, and each run either completed or was reported (data as before, or as
// after when the change was already kept).
void expectAllOrNothing(const FaultSweep& sweep);

FaultSweep sweepFaults(const FaultOperation& op, const std::vector<FaultKind>& kinds = {
                                                     FaultKind::Read, FaultKind::Write, FaultKind::Sync,
                                                     FaultKind::Lock, FaultKind::DiskFull});

} // namespace qdtest
