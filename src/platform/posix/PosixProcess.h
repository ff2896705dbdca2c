// Process start on Linux: fork + exec with the exec's failure reported back
// through a pipe, priorities through setpriority, documents and links through
// xdg-open, and one table of the exit codes of every child we started.
#pragma once

#include "platform/Process.h"

namespace qd {

class PosixProcess : public Process {
public:
    // The folder of our own programs: the folder of the running executable unless set.
    void setProgramFolder(std::filesystem::path folder) { programFolder_ = std::move(folder); }

    std::filesystem::path programFolder() const override;
    std::optional<std::filesystem::path> ownProgram(const std::string& word) const override;
    SpawnResult createProcess(const std::string& command, const std::filesystem::path& folder,
                              Priority priority = Priority::Normal) override;
    SpawnResult startProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& extraEnvironment,
                             const std::filesystem::path& folder,
                             Priority priority = Priority::Normal) override;
    SpawnResult shellStart(const std::string& file, const std::string& parameters,
                           const std::filesystem::path& folder, const std::string& verb = "open") override;
    SpawnResult shellStartWithRetries(const std::string& command, const std::filesystem::path& folder,
                                      const std::string& verb = "open") override;

    int exitCode(pid_t pid) override;
    int wait(pid_t pid, int ms) override;
    void forget(pid_t pid) override;
    void reap() override;

    // Children whose code is still held (running, or ended and not forgotten;
    // ended ones beyond the latest 256 are dropped).
    static std::size_t knownChildren();

private:
    std::filesystem::path programFolder_;
};

} // namespace qd
