#pragma once

#include "deck/TimeBase.h"
#include "eventlist/Event.h"
#include "eventlist/FrameCountMode.h"
#include "eventlist/Note.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Which point of an event a trim moves. Both edits keep the same length, as the deck panels
// keep them: moving a record point sets the source out from the record length, moving a
// source point sets the record out from the source length. So, by n frames:
//   record in   record in + n, source out - n (the record out stays)
//   record out  record out + n, source out + n
//   source in   source in + n, record out - n
//   source out  source out + n, record out + n
// Each line of a two-line event is trimmed alike, except the outgoing source of a transition
// (an empty line), which moves whole with a record in trim and stays for the others.
enum class TrimPoint { RecordIn, RecordOut, SourceIn, SourceOut };

// With ripple on, the events that start on the record tape at or after the trimmed event's
// end (before the trim) move their record in and out by as much as that end moved, so what
// follows keeps its place after it; nothing else of them changes. With ripple off only the
// trimmed event changes.
enum class Ripple { Off, On };

// Where a record frame comes from: the event and line that record it, that line's reel, and
// the source frame that lands on it (a match frame), also as the label to cue the player to
// ("HH:MM:SS:FF" in the event's labels).
struct RecordHit {
    std::size_t index = 0;
    std::size_t line = 0;
    std::string reel;
    int sourceFrame = 0;
    std::string sourceLabel;
};

// An edit decision list: a title, the frame-count mode it starts in, comments before the
// first event, and its events in list order, on the configured time base. Every event holds
// frame counts from midnight; what the counts mean as labels is the event's own mode.
//
// A value: copying a list is cheap (its events are shared and never changed in place; a
// change puts in a new event), so a copy is a snapshot another thread may read or save while
// this one goes on changing the list. Every change either happens whole or throws ListError
// with a text for the operator and leaves the list as it was.
class EventList {
public:
    explicit EventList(TimeBase base = TimeBase());

    TimeBase timeBase() const { return base_; }
    // The labels of an event counted in this mode on this list's base.
    TimeBase labelsOf(FrameCountMode mode) const { return labelBase(base_, mode); }

    FrameCountMode frameCountMode() const { return mode_; }
    // Throws for drop frame on a base that does not count it.
    void setFrameCountMode(FrameCountMode mode);

    const std::string& title() const { return title_; }
    // Blanks around it are dropped; throws for a line break.
    void setTitle(const std::string& title);

    const std::vector<Note>& headerNotes() const { return headerNotes_; }
    void addHeaderNote(const Note& note);

    std::size_t size() const { return events_.size(); }
    bool empty() const { return events_.empty(); }
    const Event& operator[](std::size_t index) const { return *events_.at(index); }

    // One past the highest event number; 1 for an empty list.
    int nextNumber() const;

    // Adds an event at the end with the number it has (as a list is read).
    void append(const Event& event);
    // Puts an event before position index (size() for the end), numbered next; returns its number.
    int insert(std::size_t index, Event event);
    void remove(std::size_t index);
    // Numbers the events 1, 2, 3... in list order.
    void renumber();
    // Moves one point of the event at index by frames (negative: earlier); see TrimPoint and
    // Ripple. Refused when a line would end before it starts or leave the day.
    void trim(std::size_t index, TrimPoint point, int frames, Ripple ripple);

    // The event that records a frame of the record tape (a frame count, as the recorder's time
    // code reads on its own base), with the matching source frame. A later event in list order
    // records over an earlier one, so the last that holds the frame is the one on the tape;
    // within an event the line with video is taken over an audio line.
    std::optional<RecordHit> atRecordFrame(int recordFrame) const;

    bool operator==(const EventList& other) const;

private:
    void check(const Event& event, const std::string& what) const;
    void checkIndex(std::size_t index) const;

    TimeBase base_;
    FrameCountMode mode_;
    std::string title_;
    std::vector<Note> headerNotes_;
    std::vector<std::shared_ptr<const Event>> events_;
};
