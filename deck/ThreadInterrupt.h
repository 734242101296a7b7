#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Lets one thread cut another thread's pauses short. A thread installs its own
// ThreadInterrupt (Scope); Utils::DelayT on that thread then waits on it, and interrupt()
// from any other thread ends the pause in progress, or the next one if none is in progress.
class ThreadInterrupt {
public:
    // Installs the interrupt as the calling thread's own for the scope's lifetime.
    class Scope {
    public:
        explicit Scope(ThreadInterrupt& interrupt);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ThreadInterrupt* previous_;
    };

    void interrupt();
    // Forgets an interrupt that no pause has consumed yet.
    void clear();

    // Sleeps up to ms milliseconds; returns true when an interrupt ended the sleep early.
    bool sleepFor(int ms);

    // The calling thread's installed interrupt, or nullptr.
    static ThreadInterrupt* current();

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false;
};
