#include "data/ViewCounter.h"

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/StoreFile.h"
#include "data/UserInterface.h"

namespace qd {

ViewCounter::ViewCounter(std::filesystem::path folder, std::string passphrase)
    : folder_(std::move(folder)), passphrase_(std::move(passphrase)) {
    thread_ = std::thread([this] { run(); });
}

ViewCounter::~ViewCounter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        waiting_.clear();
        if (running_) running_->interrupt();
    }
    wake_.notify_all();
    thread_.join();
}

unsigned long long ViewCounter::post(const void* asker, Job job, Done done) {
    std::lock_guard lock(mutex_);
    dropWaiting(asker);
    waiting_.push_back(Request{asker, ++lastTicket_, std::move(job), std::move(done)});
    wake_.notify_one();
    return lastTicket_;
}

void ViewCounter::cancel(const void* asker) {
    std::lock_guard lock(mutex_);
    dropWaiting(asker);
}

void ViewCounter::dropWaiting(const void* asker) {
    std::erase_if(waiting_, [asker](const Request& r) { return r.asker == asker; });
    if (running_ && runningAsker_ == asker) running_->interrupt();
}

void ViewCounter::setBeforeCount(std::function<void(unsigned long long)> hook) {
    std::lock_guard lock(mutex_);
    beforeCount_ = std::move(hook);
}

void ViewCounter::run() {
    // Messages of the record layer have nowhere to go from this thread: they
    // are recorded and dropped (the count then comes back as -1).
    ScriptedUserInterface silent;
    ErrorClass errors(&silent);
    DataSet ds(folder_, errors);
    if (!passphrase_.empty()) ds.setPassphrase(passphrase_);
    const Started started = [this](StoreFile* file) {
        std::lock_guard lock(mutex_);
        running_ = file;
    };
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
        if (stop_) break;
        Request request = std::move(waiting_.front());
        waiting_.pop_front();
        runningAsker_ = request.asker;
        const auto hook = beforeCount_;
        lock.unlock();
        if (hook) hook(request.ticket);
        const long long n = request.job(ds, started);
        silent.shown.clear();
        lock.lock();
        // Cleared before anyone may interrupt again: an interrupt now would
        // hit the next count.
        running_ = nullptr;
        runningAsker_ = nullptr;
        lock.unlock();
        request.done(request.ticket, n);
        lock.lock();
    }
    lock.unlock();
    ds.closeAll();
}

} // namespace qd
