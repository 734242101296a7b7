#include "app/UnattendedAssembly.h"

#include "app/Kestrix.h"
#include "assembly/AssemblyJournal.h"
#include "assembly/DeckEventPerformer.h"
#include "deck/Utils.h"
#include "eventlist/ListError.h"
#include "eventlist/ListFile.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/EditLog.h"
#include "ui/OperatorThread.h"
#include "ui/PointsLocked.h"
#include "ui/SequenceClock.h"
#include "ui/VCRPanel.h"

#include <system_error>

namespace {

std::string eventName(int number)
{
    return "EVENT " + std::to_string(number);
}

AssemblyOutcome notStarted(const std::string& text)
{
    AssemblyOutcome outcome;
    outcome.kind = AssemblyOutcome::Kind::NotStarted;
    outcome.text = text;
    return outcome;
}

// The list index of the first event with that number.
std::optional<std::size_t> indexOfNumber(const EventList& list, int number)
{
    for (std::size_t index = 0; index < list.size(); ++index) {
        if (list[index].number == number)
            return index;
    }
    return std::nullopt;
}

}

UnattendedAssembly::UnattendedAssembly(AssembleArguments arguments, std::function<void(int)> finished)
    : arguments_(std::move(arguments)), finished_(std::move(finished))
{
}

void UnattendedAssembly::run()
{
    const AssemblyOutcome outcome = assemble();
    say(outcome);
    const bool complete = outcome.kind == AssemblyOutcome::Kind::Completed && outcome.recorded == outcome.events;
    finished_(complete ? completeStatus : stoppedStatus);
}

AssemblyOutcome UnattendedAssembly::assemble()
{
    ui::OperatorThread::Sequence sequence;
    try {
        ReadList read = ListFile::load(arguments_.file, Kestrix::timebase);
        for (const ListWarning& warning : read.warnings)
            Utils::OutLine("LIST " + warning.message());
        list_ = std::move(read.list);
    } catch (const ListError& refused) {
        return notStarted(refused.what());
    }
    AssemblyJournal journal(AssemblyJournal::pathFor(arguments_.file));
    try {
        journal = AssemblyJournal::load(journal.path());
    } catch (const std::system_error& failed) {
        return notStarted("JOURNAL NOT READ: " + std::string(failed.what()));
    }
    AssemblySetup setup;
    setup.mode = arguments_.byReel ? AssemblyMode::ByReel : AssemblyMode::ListOrder;
    setup.mountedReel = arguments_.reel;
    setup.resume = !arguments_.from;
    if (arguments_.from) {
        const auto index = indexOfNumber(list_, *arguments_.from);
        if (!index)
            return notStarted("NO " + eventName(*arguments_.from) + " IN THE LIST");
        setup.from = *index;
    }
    PointsLocked locked(*Kestrix::pvcr, *Kestrix::rvcr);
    ui::SequenceClock clock;
    DeckEventPerformer performer(*Kestrix::pvcr, *Kestrix::rvcr, clock,
                                 {Kestrix::pvcrpreroll, Kestrix::rvcrpreroll, Kestrix::pvcradjust});
    EVCRPanel& panel = Kestrix::evcr->panel();
    // Edits on tape are logged as DO EDIT's are; an edit of the recorder alone has no player
    // points for the log's line.
    performer.onEditOnTape([&panel](const EditRequest& request, const EditOutcome& outcome) {
        if (Kestrix::log && !request.playIn.empty() && EditLog::exists(panel.logfilename))
            panel.logedit(request, outcome);
    });
    return AssemblyRun(list_, setup, performer, clock, *this, &journal, &panel).start();
}

void UnattendedAssembly::say(const AssemblyOutcome& outcome) const
{
    switch (outcome.kind) {
    case AssemblyOutcome::Kind::Completed:
        break;
    case AssemblyOutcome::Kind::NotStarted:
        Utils::OutLine("RUN NOT STARTED: " + outcome.text);
        break;
    case AssemblyOutcome::Kind::Stopped:
        Utils::OutLine("RUN STOPPED AT " + eventName(list_[*outcome.event].number) + ": " + outcome.text
                       + (outcome.decksSafe ? "" : " - RECORDER NOT CONFIRMED STOPPED"));
        break;
    }
    Utils::OutLine("ASSEMBLED " + std::to_string(outcome.recorded) + " OF " + std::to_string(outcome.events)
                   + " EVENTS");
}

void UnattendedAssembly::event(const EventReport& report)
{
    switch (report.state) {
    case EventState::Pending:
    case EventState::Cueing:
    case EventState::Recording:
        return;
    case EventState::Recorded:
        Utils::OutLine(eventName(report.number) + " " + report.text);
        return;
    case EventState::Failed:
        Utils::OutLine(eventName(report.number) + " FAILED: " + report.text);
        return;
    case EventState::Skipped:
        Utils::OutLine(eventName(report.number) + " SKIPPED");
        return;
    }
}

// The console has one line per event; the countdowns are for a window to show.
void UnattendedAssembly::countdown(const RunCountdown&)
{
}

bool UnattendedAssembly::mountReel(const std::string&, const std::string& prompt)
{
    Utils::OutLine(prompt + " - NO ONE TO ANSWER");
    return false;
}

bool UnattendedAssembly::confirm(const std::string& question)
{
    Utils::OutLine(question + " - NO ONE TO ANSWER");
    return false;
}
