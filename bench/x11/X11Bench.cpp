// Keystroke and window-search speed on a real X server, against xdotool.
//
//   qd_bench_x11 [CHARS] [RUNS]
//
// Starts its own Xvfb + openbox session (or uses $DISPLAY with $QD_X11_SESSION),
// opens the key-recording test window and, for each run:
//   - types CHARS printable characters with TypeText (no pacing) and with
//     `xdotool type --delay 0`;
//   - sends CHARS named keys ([HOME][END][LEFT][RIGHT]...) with SendKeystrokes
//     (no pacing) and with `xdotool key --delay 0`;
//   - finds one window by title among 50.
// Every run is checked against what the window received; a mismatch is
// reported and makes the exit code 1. Times are wall-clock from the first key
// sent until the window has received the last one.
#include "X11TestSupport.h"
#include "platform/x11/X11Desktop.h"
#include "script/Keystrokes.h"
#include "script/WindowTargeting.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using qdtest::Probe;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Waits (at most 30 s) until the probe has received `bytes` of text, or
// `presses` key presses when bytes is 0; returns when the last one arrived.
Clock::time_point waitReceived(const Probe& probe, std::size_t bytes, std::size_t presses, bool& complete) {
    const auto end = Clock::now() + std::chrono::seconds(30);
    complete = false;
    while (!complete && Clock::now() < end) {
        std::size_t seen = 0, text = 0;
        for (const auto& e : probe.events()) {
            seen += e.press ? 1 : 0;
            text += e.press ? e.text.size() : 0;
        }
        complete = bytes > 0 ? text >= bytes : seen >= presses;
        if (!complete) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Clock::now();
}

// True when exactly `n` presses and `n` releases arrived (releases may trail a little).
bool pressesAndReleases(const Probe& probe, int n) {
    for (int wait = 0; wait < 100; ++wait) {
        int presses = 0, releases = 0;
        for (const auto& e : probe.events())
            (e.press ? presses : releases) += 1;
        if (presses == n && releases == n) return true;
        if (presses > n || releases > n) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int runXdotool(const std::vector<std::string>& args, const std::string& display) {
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return qdtest::runProgram(argv, display);
}

} // namespace

int main(int argc, char** argv) {
    const int chars = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::string error;
    qdtest::X11Session* session = qdtest::X11Session::shared(&error);
    if (!session) {
        std::fprintf(stderr, "no X session: %s\n", error.c_str());
        return 2;
    }
    session->setLayout("us");
    qd::X11Desktop desktop = qd::openX11Desktop(session->display);
    Probe probe(*session, {"--swallow", "--window", "Bench Target", "--windows", "50", "Bench Window "});
    if (!probe.waitReady(std::chrono::seconds(30))) {
        std::fprintf(stderr, "the test windows did not come up\n");
        return 2;
    }
    const unsigned long target = probe.window("Bench Target");
    bool allVerified = true;

    std::mt19937 rng(7);
    std::string text;
    for (int i = 0; i < chars; ++i)
        text += static_cast<char>('!' + rng() % 94); // printable, no blank
    std::string named, xdoNamed;
    std::vector<std::string> xdoKeys = {"--delay", "0"};
    const char* ours[] = {"[HOME]", "[END]", "[LEFT]", "[RIGHT]"};
    const char* theirs[] = {"Home", "End", "Left", "Right"};
    for (int i = 0; i < chars; ++i) {
        named += ours[i % 4];
        xdoKeys.emplace_back(theirs[i % 4]);
    }

    std::vector<double> qdType, xdoType, qdKeys, xdoKeysRate, qdSend;
    for (int run = 0; run < runs; ++run) {
        bool complete = false;
        // Our typing.
        desktop.windows->activate(target);
        probe.clearLog();
        auto start = Clock::now();
        qd::TypeText(*desktop.keyboard, text);
        desktop.keyboard->releaseAll();
        const auto sent = Clock::now();
        auto done = waitReceived(probe, text.size(), 0, complete);
        const bool okOurs = complete && probe.typedText() == text;
        if (!okOurs)
            std::fprintf(stderr, "ours: complete %d, received %zu bytes, %zu events\n", complete,
                         probe.typedText().size(), probe.events().size());
        qdType.push_back(chars / seconds(done - start));
        qdSend.push_back(chars / seconds(sent - start));
        // xdotool typing.
        desktop.windows->activate(target);
        probe.clearLog();
        start = Clock::now();
        runXdotool({"type", "--delay", "0", text}, session->display);
        done = waitReceived(probe, text.size(), 0, complete);
        const bool okXdo = complete && probe.typedText() == text;
        if (!okXdo)
            std::fprintf(stderr, "xdotool: complete %d, received %zu bytes\n", complete,
                         probe.typedText().size());
        xdoType.push_back(chars / seconds(done - start));
        // Our named keys.
        desktop.windows->activate(target);
        probe.clearLog();
        start = Clock::now();
        qd::KeystrokeSender sender(*desktop.keyboard);
        sender.setSettings({0, 7});
        sender.SendKeystrokes(named);
        done = waitReceived(probe, 0, static_cast<std::size_t>(chars), complete);
        const bool okKeys = complete && pressesAndReleases(probe, chars);
        qdKeys.push_back(chars / seconds(done - start));
        // xdotool named keys.
        desktop.windows->activate(target);
        probe.clearLog();
        std::vector<std::string> keyArgs = {"key"};
        keyArgs.insert(keyArgs.end(), xdoKeys.begin(), xdoKeys.end());
        start = Clock::now();
        runXdotool(keyArgs, session->display);
        done = waitReceived(probe, 0, static_cast<std::size_t>(chars), complete);
        const bool okXdoKeys = complete && pressesAndReleases(probe, chars);
        xdoKeysRate.push_back(chars / seconds(done - start));
        if (!(okOurs && okXdo && okKeys && okXdoKeys)) {
            allVerified = false;
            std::fprintf(stderr,
                         "run %d: verification failed (ours text %d, xdotool text %d, ours keys %d, xdotool "
                         "keys %d)\n",
                         run, okOurs, okXdo, okKeys, okXdoKeys);
        }
    }

    // Finding one window among 50 (plus the target and the desktop's own), once
    // the server and the windows are idle again.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    qd::WindowTargeting targeting(*desktop.windows);
    const unsigned long wanted = probe.window("Bench Window 37");
    std::vector<double> findMs;
    for (int i = 0; i < 50; ++i) {
        const auto start = Clock::now();
        const qd::WindowHandle found = targeting.FindWindowByPattern("bench window 37", "");
        findMs.push_back(seconds(Clock::now() - start) * 1000);
        if (found != wanted) {
            allVerified = false;
            std::fprintf(stderr, "find: got %llu, wanted %lu\n", static_cast<unsigned long long>(found),
                         wanted);
        }
    }

    const double qt = median(qdType), xt = median(xdoType), qk = median(qdKeys), xk = median(xdoKeysRate);
    std::printf("typing %d printable characters, end to end (median of %d runs):\n", chars, runs);
    std::printf("  qd TypeText           %8.0f chars/s   (sending alone %8.0f chars/s)\n", qt,
                median(qdSend));
    std::printf("  xdotool type --delay 0 %7.0f chars/s   ratio qd/xdotool %.2f\n", xt, qt / xt);
    std::printf("named keys, %d key strokes, end to end:\n", chars);
    std::printf("  qd SendKeystrokes     %8.0f keys/s\n", qk);
    std::printf("  xdotool key --delay 0 %8.0f keys/s    ratio qd/xdotool %.2f\n", xk, qk / xk);
    std::printf("FindWindowByPattern among %zu windows: median %.3f ms, max %.3f ms\n",
                probe.windows().size(), median(findMs), *std::max_element(findMs.begin(), findMs.end()));
    std::printf("all runs verified: %s\n", allVerified ? "yes" : "NO");
    return allVerified ? 0 : 1;
}
