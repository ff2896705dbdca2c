// The clipboard watcher on a real X server: every copy of a fast burst is read
// with its own text while nothing else in the program looks; a copy replaced
// before it could be asked for is reported lost, never given the next copy's
// text; large contents arrive whole; a hung owner holds up the next copy only
// for the answer time, one that ends is not waited for; the program's own
// contents are not asked for their text, secret hints are read.
#include "platform/x11/X11ClipboardWatcher.h"
#include "X11TestSupport.h"

// Before Xlib, whose macros (None) clash with its names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/wait.h>
#include <thread>

namespace qd {
namespace {

using namespace std::chrono_literals;
using qdtest::X11Session;

// Contents put on the clipboard by another client, one owner window a copy,
// as copying programs do: each serves the requests that reach it.
class Owners {
public:
    struct Content {
        std::map<std::string, std::string> targets; // target name -> bytes
        bool answers = true;
        // > 0: its window is destroyed this long after it took the clipboard
        // (an owner that ends without answering).
        std::chrono::milliseconds diesAfter{0};
    };

    explicit Owners(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) {
        if (dpy_) thread_ = std::thread([this] { run(); });
    }
    ~Owners() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (dpy_) XCloseDisplay(dpy_);
    }
    bool ok() const { return dpy_ != nullptr; }

    // Each content takes the clipboard `gap` after the one before.
    void copy(std::vector<Content> contents, std::chrono::milliseconds gap) {
        std::lock_guard lock(mutex_);
        auto due = std::chrono::steady_clock::now();
        for (auto& c : contents) {
            script_.push_back({std::move(c), due});
            due += gap;
        }
    }
    bool done() {
        std::lock_guard lock(mutex_);
        return script_.empty();
    }
    // The targets asked of the i-th content.
    std::vector<std::string> asked(std::size_t i) {
        std::lock_guard lock(mutex_);
        return i < asked_.size() ? asked_[i] : std::vector<std::string>{};
    }

private:
    struct Step {
        Content content;
        std::chrono::steady_clock::time_point due;
    };

    void run() {
        const Atom clipboard = XInternAtom(dpy_, "CLIPBOARD", False);
        while (!stop_) {
            {
                std::lock_guard lock(mutex_);
                while (!script_.empty() && script_.front().due <= std::chrono::steady_clock::now()) {
                    const Window w = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 1, 1, 0, 0, 0);
                    windows_[w] = contents_.size();
                    contents_.push_back(std::move(script_.front().content));
                    asked_.emplace_back();
                    script_.pop_front();
                    XSetSelectionOwner(dpy_, clipboard, w, CurrentTime);
                    XFlush(dpy_);
                    if (contents_.back().diesAfter.count() > 0)
                        dying_.emplace_back(w, std::chrono::steady_clock::now() + contents_.back().diesAfter);
                }
            }
            for (auto it = dying_.begin(); it != dying_.end();) {
                if (it->second > std::chrono::steady_clock::now()) {
                    ++it;
                    continue;
                }
                XDestroyWindow(dpy_, it->first);
                XFlush(dpy_);
                windows_.erase(it->first);
                it = dying_.erase(it);
            }
            while (XPending(dpy_) > 0) {
                XEvent ev;
                XNextEvent(dpy_, &ev);
                if (ev.type == SelectionRequest) serve(ev.xselectionrequest);
            }
            pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
            ::poll(&p, 1, 1);
        }
    }

    void serve(const XSelectionRequestEvent& req) {
        auto it = windows_.find(req.owner);
        if (it == windows_.end()) return;
        const Content& c = contents_[it->second];
        char* name = XGetAtomName(dpy_, req.target);
        const std::string target = name ? name : "";
        if (name) XFree(name);
        {
            std::lock_guard lock(mutex_);
            asked_[it->second].push_back(target);
        }
        if (!c.answers) return;
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.requestor = req.requestor;
        reply.selection = req.selection;
        reply.target = req.target;
        reply.time = req.time;
        reply.property = req.property;
        if (target == "TARGETS") {
            std::vector<long> atoms{static_cast<long>(XInternAtom(dpy_, "TARGETS", False))};
            for (const auto& [t, bytes] : c.targets)
                atoms.push_back(static_cast<long>(XInternAtom(dpy_, t.c_str(), False)));
            XChangeProperty(dpy_, req.requestor, req.property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(atoms.data()),
                            static_cast<int>(atoms.size()));
        } else if (auto t = c.targets.find(target); t != c.targets.end()) {
            XChangeProperty(dpy_, req.requestor, req.property, req.target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(t->second.data()),
                            static_cast<int>(t->second.size()));
        } else {
            reply.property = None;
        }
        XSendEvent(dpy_, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
        XFlush(dpy_);
    }

    Display* dpy_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::deque<Step> script_;
    std::map<Window, std::size_t> windows_;
    std::vector<std::pair<Window, std::chrono::steady_clock::time_point>> dying_;
    std::vector<Content> contents_;
    std::vector<std::vector<std::string>> asked_;
};

Owners::Content textContent(const std::string& text) {
    return {{{"UTF8_STRING", text}}, true};
}

class X11ClipboardWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
        owners_ = std::make_unique<Owners>(session_->display);
        ASSERT_TRUE(owners_->ok());
        // Something on the clipboard first, read at the start and dropped.
        owners_->copy({textContent("before")}, 0ms);
        waitFor([this] { return owners_->done(); });
        watcher_ = std::make_unique<X11ClipboardWatcher>(session_->display);
        watcher_->answerTimeout = 300ms;
        ASSERT_TRUE(watcher_->start(
            [this](ClipboardCopy c) {
                std::lock_guard lock(mutex_);
                copies_.push_back(std::move(c));
                changed_.notify_all();
            },
            "application/x-test-own"));
        ASSERT_TRUE(waitCopies(1));
        EXPECT_EQ(copies_[0].text, "before");
        copies_.clear();
    }
    void TearDown() override {
        watcher_.reset();
        owners_.reset();
    }
    template <class F> static bool waitFor(F f, std::chrono::milliseconds limit = 10s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!f()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    bool waitCopies(std::size_t n, std::chrono::milliseconds limit = 15s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return copies_.size() >= n; });
    }

    X11Session* session_ = nullptr;
    std::unique_ptr<Owners> owners_;
    std::unique_ptr<X11ClipboardWatcher> watcher_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ClipboardCopy> copies_;
};

TEST_F(X11ClipboardWatcherTest, EveryCopyOfABurstIsReadWithItsOwnText) {
    // 20 ms apart, as a person's fastest copies or a script's: one report a
    // copy, in order, with its own text and formats. (On a loaded machine the
    // thread may wake too late for one: that copy is reported lost, never
    // given another's text; unloaded none is lost.)
    std::vector<Owners::Content> burst;
    for (int i = 0; i < 60; ++i)
        burst.push_back(textContent("Burst copy " + std::to_string(i)));
    owners_->copy(burst, 20ms);
    ASSERT_TRUE(waitCopies(60));
    std::this_thread::sleep_for(100ms);
    std::lock_guard lock(mutex_);
    ASSERT_EQ(copies_.size(), 60u);
    int lost = 0;
    for (int i = 0; i < 60; ++i) {
        if (copies_[i].lost) {
            ++lost;
            continue;
        }
        EXPECT_EQ(copies_[i].text, "Burst copy " + std::to_string(i));
        EXPECT_EQ(copies_[i].formats, (std::vector<std::string>{"TARGETS", "UTF8_STRING"}));
    }
    EXPECT_LT(lost * 2, 60) << "most copies 20 ms apart are read";
    std::printf("lost %d of 60 copies 20 ms apart\n", lost);
}

TEST_F(X11ClipboardWatcherTest, ACopyReplacedBeforeItsRequestIsLostNeverGivenTheNextText) {
    // As fast as the owner can take the clipboard: some copies may be gone
    // before anyone can ask; each report still belongs to its own copy.
    std::vector<Owners::Content> burst;
    for (int i = 0; i < 200; ++i)
        burst.push_back(textContent("Fast " + std::to_string(i)));
    owners_->copy(burst, 0ms);
    ASSERT_TRUE(waitCopies(200));
    std::this_thread::sleep_for(100ms);
    std::lock_guard lock(mutex_);
    ASSERT_EQ(copies_.size(), 200u) << "one report a copy";
    int lost = 0;
    for (int i = 0; i < 200; ++i) {
        if (copies_[i].lost) {
            ++lost;
            EXPECT_TRUE(copies_[i].text.empty());
        } else {
            EXPECT_EQ(copies_[i].text, "Fast " + std::to_string(i));
        }
    }
    EXPECT_FALSE(copies_.back().lost) << "the last copy stays on the clipboard and is always read";
    std::printf("lost %d of 200 copies made without a pause\n", lost);
}

TEST_F(X11ClipboardWatcherTest, OwnContentsAreNotAskedForTextAndSecretHintsAreRead) {
    owners_->copy({{{{"UTF8_STRING", "ours"}, {"application/x-test-own", "1"}}, true},
                   {{{"UTF8_STRING", "Password1"}, {"x-kde-passwordManagerHint", "secret"}}, true},
                   {{{"STRING", "Gr\xfc\xdf"
                                "e"}},
                    true},
                   {{{"image/png", "PNG"}}, true}},
                  30ms);
    ASSERT_TRUE(waitCopies(4));
    EXPECT_FALSE(copies_[0].hasText);
    EXPECT_EQ(owners_->asked(1), std::vector<std::string>{"TARGETS"}) << "a paste of ours is not taken";
    EXPECT_EQ(copies_[1].text, "Password1");
    EXPECT_EQ(copies_[1].secretHint, "secret");
    EXPECT_EQ(copies_[2].text, "Grüße") << "Latin-1 STRING arrives as UTF-8";
    EXPECT_FALSE(copies_[3].hasText);
    EXPECT_EQ(copies_[3].formats, (std::vector<std::string>{"TARGETS", "image/png"}));
}

TEST_F(X11ClipboardWatcherTest, AHungOwnerHoldsUpTheNextCopyOnlyForTheAnswerTime) {
    Owners::Content hung = textContent("never answered");
    hung.answers = false;
    owners_->copy({hung, textContent("after the hung one")}, 50ms);
    ASSERT_TRUE(waitCopies(2, 5s));
    EXPECT_FALSE(copies_[0].hasText);
    EXPECT_EQ(copies_[1].text, "after the hung one");
}

TEST_F(X11ClipboardWatcherTest, AnOwnerThatEndsWithoutAnsweringIsNotWaitedFor) {
    watcher_->answerTimeout = 8s;
    Owners::Content dying = textContent("never answered");
    dying.answers = false;
    dying.diesAfter = 100ms;
    owners_->copy({dying, textContent("after the dead one")}, 400ms);
    // Far sooner than the answer time: the owner's end ends the wait.
    ASSERT_TRUE(waitCopies(2, 4s));
    EXPECT_FALSE(copies_[0].hasText);
    EXPECT_EQ(copies_[1].text, "after the dead one");
}

TEST_F(X11ClipboardWatcherTest, ALargeContentArrivesWholeInPieces) {
    // Far beyond one request: the owner (a Qt program) sends it in pieces.
    std::string big;
    for (int i = 0; big.size() < 600000; ++i)
        big += "line " + std::to_string(i) + " of a large copied text\n";
    qdtest::TempDir dir;
    const std::string file = (dir.path() / "big.txt").string();
    std::ofstream(file) << big;
    const std::string cmd = "DISPLAY=" + session_->display + " " + qdtest::binPath("qd_clipsource") +
                            " --format text/plain " + file + " >/dev/null 2>&1 & echo $!";
    FILE* out = popen(cmd.c_str(), "r");
    ASSERT_NE(out, nullptr);
    int pid = 0;
    ASSERT_EQ(std::fscanf(out, "%d", &pid), 1);
    pclose(out);
    const bool arrived = waitCopies(1);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    ASSERT_TRUE(arrived);
    EXPECT_TRUE(copies_[0].hasText);
    EXPECT_EQ(copies_[0].text.size(), big.size());
    EXPECT_TRUE(copies_[0].text == big);
}

} // namespace
} // namespace qd
