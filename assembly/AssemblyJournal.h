#pragma once

#include "engine/EditRequest.h"
#include "eventlist/EventList.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// The events of a list that the recorder confirmed on tape, kept in a file beside the list
// ("<list file>.journal"), so that a run cut short (a crash, a kill, a closed window) resumes
// without recording an event twice. The file is replaced whole at every change (AtomicFile):
// at any moment it holds every event confirmed before the last change, and never a torn line.
//
// An entry names its event by number and by a key of what the event records (its lines, its
// split, assemble or insert): an event changed since it was recorded (trimmed, renumbered, a
// reel changed) no longer matches its entry and counts as not on tape.
//
//   KESTRIX ASSEMBLY JOURNAL
//   EVENT 12 KEY 0f3c2a9d81b4e670 RECORDED 108000-108150 108006-108150
//
// RECORDED gives what the recorder recorded of each of the event's edits: its first frame and
// the frame after its last, on the recorder's base.
class AssemblyJournal {
public:
    static std::string pathFor(const std::string& listPath);

    // An empty journal for the file at path, which is not read.
    explicit AssemblyJournal(std::string path);
    // The journal in the file at path; no file is an empty journal. A line it cannot read is
    // left out. Throws std::system_error when the file is there but cannot be read.
    static AssemblyJournal load(const std::string& path);

    const std::string& path() const { return path_; }
    // The list's events the journal has on tape.
    std::set<std::size_t> onTape(const EventList& list) const;
    // What the recorder recorded of the event, when the journal has it on tape.
    const std::vector<RecordedStretch>* recordedOf(const Event& event) const;

    // The event is on tape. Throws std::system_error when the file cannot be replaced; the
    // journal is then as it was.
    void record(const Event& event, const std::vector<RecordedStretch>& recorded);
    // The events are to be recorded again: they are no longer on tape as far as the journal
    // knows. Throws as record does.
    void forget(const std::vector<const Event*>& events);

    // What the journal's key of an event is made from, hashed.
    static std::uint64_t keyOf(const Event& event);

private:
    struct Entry {
        std::uint64_t key = 0;
        std::vector<RecordedStretch> recorded;
    };

    void save(const std::map<int, Entry>& entries) const;
    void read(const std::string& text);

    std::string path_;
    std::map<int, Entry> entries_;
};
