#pragma once
// One thread for the window's service calls other than searches (the start-up queries and the
// category tree): they run in order, off the window thread, and each hands its answer back
// through the window's event loop. Stopping ends the call under way and waits for it.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ServiceWorker {
public:
    using Job = std::function<void()>;
    ServiceWorker() = default;
    ~ServiceWorker() { Stop(); }
    ServiceWorker(const ServiceWorker&) = delete;
    ServiceWorker& operator=(const ServiceWorker&) = delete;

    // Runs job after the ones posted before it; nothing once stopped.
    void Post(Job job);
    // What ends a transfer under way (a client's Cancel), called by Stop from the window's
    // thread; it must make the job return soon.
    void OnStop(std::function<void()> cancel);
    // Drops the jobs not started, cancels the running one and waits for it.
    void Stop();

private:
    void Run();

    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<Job> FJobs;
    std::vector<std::function<void()>> FCancels;
    bool FStopping = false;
    std::thread FThread;
};
