// Counts the records of lists' views on a thread of its own, over a store
// connection of its own (the same folder and key), so that a filter the store
// can only answer by reading every record does not hold a window: the list
// shows its first rows at once and takes the count when it arrives. One
// counter serves every list of a program (its connection is keyed once).
#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace qd {

class DataSet;
class StoreFile;

class ViewCounter {
public:
    // A count's table is open on `file`: a newer request may interrupt it there.
    using Started = std::function<void(StoreFile* file)>;
    // A count, run on the counter's thread with its own data set; -1 when the store failed.
    using Job = std::function<long long(DataSet& ds, const Started& started)>;
    // Called on the counter's thread with the request's ticket and its count.
    using Done = std::function<void(unsigned long long ticket, long long count)>;

    ViewCounter(std::filesystem::path folder, std::string passphrase);
    // Interrupts a running count and waits for the thread.
    ~ViewCounter();
    ViewCounter(const ViewCounter&) = delete;
    ViewCounter& operator=(const ViewCounter&) = delete;

    // Queues a count for `asker` and returns its ticket. Only an asker's newest
    // request matters: its request still waiting is replaced (that `done` is
    // never called), its running one interrupted (that `done` gets -1, or the
    // count when it finished first). The asker keeps its newest ticket and
    // drops every other answer. Askers are served in turn.
    unsigned long long post(const void* asker, Job job, Done done);
    // Drops the asker's waiting request and interrupts its running one (an
    // asker that goes away).
    void cancel(const void* asker);
    // Called on the counter's thread before each count with its ticket (tests
    // hold a count there to see the list before the count arrives).
    void setBeforeCount(std::function<void(unsigned long long ticket)> hook);

private:
    struct Request {
        const void* asker = nullptr;
        unsigned long long ticket = 0;
        Job job;
        Done done;
    };
    void dropWaiting(const void* asker);
    void run();

    std::filesystem::path folder_;
    std::string passphrase_;
    std::function<void(unsigned long long)> beforeCount_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> waiting_;
    const void* runningAsker_ = nullptr;
    StoreFile* running_ = nullptr; // the file of the count running now, while its table is open
    unsigned long long lastTicket_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace qd
