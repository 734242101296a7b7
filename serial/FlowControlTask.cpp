#include "serial/FlowControlTask.h"

#include "serial/SerialPortLocal.h"

#include <iostream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace serial {

FlowControlTask::FlowControlTask(SerialPortLocal& sp)
    : sp(sp), portNum(sp.getPortNum())
{
    std::cout << std::string("FlowControlTask created\n") << std::flush;
}

FlowControlTask::~FlowControlTask()
{
    stop();
}

void FlowControlTask::start()
{
    if (thread.joinable() || stopRequested.load()) {
        return;
    }
    thread = std::thread([this] { run(); });
}

void FlowControlTask::stop()
{
    stopRequested = true;
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) {
        thread.join();
    }
}

void FlowControlTask::run()
{
    threadId = static_cast<int>(::gettid());
    // One step above the priority the thread started with, so flow control keeps up
    // with the line while the rest of the program is busy.
    setFlowPriority(getFlowPriority() + 1);
    while (!stopRequested.load()) {
        sp.SerFlowTask(portNum);
    }
}

void FlowControlTask::setFlowPriority(int p)
{
    priority = p;
    applyPriority(p);
}

void FlowControlTask::applyPriority(int p)
{
    // Priorities map onto the thread's nice value: one step up is one nice level down.
    // Raising it needs privileges; without them the thread keeps its nice value, which
    // only costs responsiveness, so a refusal is not an error.
    const int tid = threadId.load();
    if (tid != 0) {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -p);
    }
}

} // namespace serial
