#pragma once

#include <atomic>
#include <thread>

namespace serial {

class SerialPortLocal;

// Assists hardware flow control by calling the backend's SerFlowTask for one port over and
// over on its own thread. Each call returns within a few milliseconds, so a stop request
// ends the loop promptly. A stopped task is never restarted; the port makes a new one.
class FlowControlTask {
public:
    // Writes "FlowControlTask created"; the creator starts the thread.
    explicit FlowControlTask(SerialPortLocal& sp);
    FlowControlTask(const FlowControlTask&) = delete;
    FlowControlTask& operator=(const FlowControlTask&) = delete;
    ~FlowControlTask();

    void start();
    // Ends the loop between two SerFlowTask calls and waits for the thread to finish.
    void stop();

    // The task's scheduling priority, counted upwards from 0 (the normal priority).
    void setFlowPriority(int p);
    int getFlowPriority() const { return priority.load(); }

private:
    void run();
    void applyPriority(int p);

    SerialPortLocal& sp;
    const int portNum;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<int> priority{0};
    std::atomic<int> threadId{0};
};

} // namespace serial
