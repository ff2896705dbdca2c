// The main window's part played on a terminal, for qdctl's runs.
#pragma once

#include "perform/Frame.h"
#include "platform/CommandLine.h"
#include "platform/Process.h"

#include <functional>
#include <ostream>
#include <string>

namespace qdctl {

// Messages are printed; sounds are played with the desktop's sound player when there is one.
class TerminalFrame : public qd::Frame {
public:
    TerminalFrame(std::ostream& out, qd::Process& process, std::function<void()> onShutdown)
        : out_(out), process_(process), onShutdown_(std::move(onShutdown)) {}
    void bringToFront() override {}
    bool isMinimized() const override { return false; }
    void playSound(const std::string& file) override {
        out_ << "sound: " << file << "\n";
        if (file.empty()) return;
        for (const char* player : {"paplay", "aplay"}) {
            if (process_.createProcess(qd::joinCommandLine({player, file}), {}).ok) return;
        }
    }
    void beep() override { out_ << "beep\a\n"; }
    void showMessageWindow(const qd::MessageRequest& r) override {
        out_ << "message: " << r.title << ": " << r.text
             << (r.alarmFile.empty() ? "" : " (alarm " + r.alarmFile + ")") << "\n";
    }
    int openMessageWindows() const override { return 0; }
    void requestShutdown() override {
        if (onShutdown_) onShutdown_();
    }
    void refreshTaskLists() override {}

private:
    std::ostream& out_;
    qd::Process& process_;
    std::function<void()> onShutdown_;
};

} // namespace qdctl
