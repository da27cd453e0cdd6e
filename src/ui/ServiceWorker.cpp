#include "ServiceWorker.h"

void ServiceWorker::Post(Job job) {
    std::lock_guard lock(FMutex);
    if (FStopping) return;
    FJobs.push_back(std::move(job));
    // Started with the first job: a window that never asks for anything has no thread.
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
    FWake.notify_one();
}

void ServiceWorker::OnStop(std::function<void()> cancel) {
    std::lock_guard lock(FMutex);
    FCancels.push_back(std::move(cancel));
}

void ServiceWorker::Stop() {
    std::vector<std::function<void()>> cancels;
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
        FJobs.clear();
        cancels = FCancels;
    }
    FWake.notify_one();
    for (const auto& cancel : cancels) cancel();
    if (FThread.joinable()) FThread.join();
}

void ServiceWorker::Run() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FStopping || !FJobs.empty(); });
        if (FStopping) return;
        Job job = std::move(FJobs.front());
        FJobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}
