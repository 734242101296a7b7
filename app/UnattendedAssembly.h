#pragma once

#include "app/CommandLine.h"
#include "assembly/AssemblyProgress.h"
#include "assembly/AssemblyRun.h"

#include <functional>

// `kestrix --assemble`: the list assembled on the operator thread once the program is ready,
// with no one to answer: a reel to mount or a question stops the run. The console gets one
// line per event with its result ("EVENT 12 RECORDED 00:01:00:00 TO 00:01:04:29", "EVENT 12
// RECORDED EARLIER", "EVENT 12 FAILED: <why>"), the reason a run stopped or did not start,
// and "ASSEMBLED n OF m EVENTS"; the edit panel shows each edit as DO EDIT does, and each edit
// on tape goes to the edit log as DO EDIT's do. Then the program closes.
class UnattendedAssembly : public AssemblyProgress {
public:
    static constexpr int completeStatus = 0;
    static constexpr int stoppedStatus = 3;

    // finished closes the program with the exit status.
    UnattendedAssembly(AssembleArguments arguments, std::function<void(int status)> finished);

    // On the operator thread, as a sequence that ALL STOP and the window's closing abort.
    void run();

    void event(const EventReport& report) override;
    void countdown(const RunCountdown& left) override;
    bool mountReel(const std::string& reel, const std::string& prompt) override;
    bool confirm(const std::string& question) override;

private:
    AssemblyOutcome assemble();
    void say(const AssemblyOutcome& outcome) const;

    AssembleArguments arguments_;
    std::function<void(int)> finished_;
    EventList list_;
};
