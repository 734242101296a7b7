#pragma once

#include "deck/TimeBase.h"
#include "eventlist/EditLine.h"
#include "eventlist/FrameCountMode.h"
#include "eventlist/Note.h"
#include "eventlist/Split.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The points of an edit as Kestrix marks them on its two decks, frame counts from midnight;
// outs are exclusive, and both edits have the same length.
struct EditPoints {
    int sourceIn = 0;
    int sourceOut = 0;
    int recordIn = 0;
    int recordOut = 0;
};

// One numbered event of a list: one edit line, or two that share the number. Two lines are
// a transition (the outgoing source as an empty cut, then the incoming source with its
// dissolve, wipe or key) or a split edit (the leading channels, then the delayed ones).
//
// Kestrix's edit mode byte maps onto the channels: insert video 0x50 is V, audio 1 0x41 is A,
// audio 2 0x42 is A2, both audios 0x43 AA, video and audio 1 0x51 B, video and audio 2 0x52
// A2/V, all three 0x53 AA/V. An assemble edit (0x20) records everything: AA/V, and the event
// is marked as an assemble edit, which the list carries as a comment line of its own
// ("* EDIT MODE: ASSEMBLE") that other systems read as any comment.
struct Event {
    int number = 0;
    std::vector<EditLine> lines;
    // The labels its time codes are written with; the list's mode when it was made.
    FrameCountMode frameCount = FrameCountMode::NonDrop;
    // Drop-frame labels written with ';' before the frames ("01:00:00;02") rather than ':'.
    bool semicolonFrames = false;
    Split split;
    bool assemble = false;
    // Its comments and the statements it does not perform, in the order the list gave them.
    std::vector<Note> notes;

    // The event of an edit made in a Kestrix edit mode, one line from the player's reel, a cut.
    // The points are frame counts of the decks' labels on the list's labels for frameCount
    // (EventList::labelsOf(list.frameCountMode()).frameOf(label)); the list numbers the event
    // when it is inserted. Throws ListError for a mode byte that records nothing (0, 0x40, any
    // other bits) and for points whose two edits differ in length.
    static Event fromEdit(std::uint8_t mode, const std::string& reel, const EditPoints& points,
                          FrameCountMode frameCount);

    // The Kestrix edit mode that records what the event records: 0x20 for an assemble edit,
    // otherwise 0x40 with the channels of all its lines. nullopt when no mode does: no channel,
    // or audio 3 or 4, which Kestrix does not record.
    std::optional<std::uint8_t> modeByte() const;

    // The event's span on the record tape, over all its lines.
    int recordIn() const;
    int recordOut() const;

    // Whether the line is the outgoing source of a transition: the empty first line of an
    // event whose second line dissolves, wipes or keys.
    bool isTransitionFrom(std::size_t line) const;

    // What breaks the event on a list on listBase, or nullopt: no line or more than two, a
    // line's fault, drop-frame labels on a base without them, a separator or split the list
    // cannot write, an assemble edit that is not one line of AA/V, a number outside 0 to
    // 999999, a note's fault.
    std::optional<std::string> fault(TimeBase listBase) const;

    bool operator==(const Event&) const = default;
};
