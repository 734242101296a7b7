// The edits an event takes: the requests the edit engine gets (points as deck labels, modes),
// and the events refused before anything is sent.

#include "assembly/EventEdits.h"
#include "assembly/EventRefused.h"
#include "eventlist/Event.h"

#include <gtest/gtest.h>

namespace {

const TimeBase fps30{};
const TimeBase dropFrame{TimeBase::Kind::Fps2997DF};
const RollSettings roll{3, 4, -5};

EditLine line(const std::string& reel, std::uint8_t insertBits, int source, int record, int length)
{
    EditLine made;
    made.reel = reel;
    made.channels = Channels::fromInsertBits(insertBits);
    made.sourceIn = source;
    made.sourceOut = source + length;
    made.recordIn = record;
    made.recordOut = record + length;
    return made;
}

Event eventOf(std::vector<EditLine> lines, FrameCountMode mode = FrameCountMode::NonDrop)
{
    Event event;
    event.number = 7;
    event.lines = std::move(lines);
    event.frameCount = mode;
    return event;
}

// A split: the leading line over the whole span, the delayed one later by delay frames.
Event split(Split::Delay kind, std::uint8_t leading, std::uint8_t delayed, int delay)
{
    Event event = eventOf({line("TAPE1", leading, 370, 600, 45), line("TAPE1", delayed, 370 + delay, 600 + delay, 45 - delay)});
    event.split = {kind, delay};
    return event;
}

}

TEST(EventEdits, ASplitIsTwoInsertsTheLeadingChannelsOverTheWholeSpanThenTheDelayedFromTheirOwnIn)
{
    struct Case {
        Split::Delay kind;
        std::uint8_t leading, delayed;
        std::uint8_t leadingMode, delayedMode;
        const char* leadingWhat;
        const char* delayedWhat;
    };
    const Case cases[] = {
        {Split::Delay::Audio, 0x10, 0x03, 0x50, 0x43, "LEADING V", "DELAYED AA"},
        {Split::Delay::Video, 0x01, 0x10, 0x41, 0x50, "LEADING A", "DELAYED V"},
    };
    for (const Case& c : cases) {
        const auto edits = EventEdits::of(split(c.kind, c.leading, c.delayed, 6), fps30, roll);
        ASSERT_EQ(edits.size(), 2u);
        EXPECT_EQ(edits[0].request.playIn, "00:00:12:10");
        EXPECT_EQ(edits[0].request.playOut, "00:00:13:25");
        EXPECT_EQ(edits[0].request.recIn, "00:00:20:00");
        EXPECT_EQ(edits[0].request.recOut, "00:00:21:15");
        EXPECT_EQ(edits[0].request.mode, c.leadingMode);
        EXPECT_EQ(edits[0].what, c.leadingWhat);
        EXPECT_EQ(edits[1].request.playIn, "00:00:12:16");
        EXPECT_EQ(edits[1].request.playOut, "00:00:13:25") << "both end together";
        EXPECT_EQ(edits[1].request.recIn, "00:00:20:06");
        EXPECT_EQ(edits[1].request.recOut, "00:00:21:15");
        EXPECT_EQ(edits[1].request.mode, c.delayedMode);
        EXPECT_EQ(edits[1].what, c.delayedWhat);
        for (const EventEdit& edit : edits) {
            EXPECT_EQ(edit.request.playerPreroll, 3);
            EXPECT_EQ(edit.request.recorderPreroll, 4);
            EXPECT_EQ(edit.request.adjust, -5);
        }
    }
}

TEST(EventEdits, PointsAreTheEventsOwnLabelsAndAnAssembleEditStaysOne)
{
    // Frame 1800 is 00:01:00:02 in drop-frame labels and 00:01:00:00 in labels without drops: an
    // event keeps the labels it was written in, whatever the list counts in.
    const Event dropFrameEvent = eventOf({line("TAPE1", 0x13, 1800, 1790, 30)}, FrameCountMode::DropFrame);
    const auto dropped = EventEdits::of(dropFrameEvent, dropFrame, roll);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].request.playIn, "00:01:00:02");
    EXPECT_EQ(dropped[0].request.recIn, "00:00:59:20");
    EXPECT_EQ(dropped[0].request.recOut, "00:01:00:22");
    EXPECT_EQ(dropped[0].request.mode, 0x53);
    EXPECT_EQ(dropped[0].what, "AA/V");

    const auto counted = EventEdits::of(eventOf({line("TAPE1", 0x13, 1800, 1790, 30)}), dropFrame, roll);
    EXPECT_EQ(counted[0].request.playIn, "00:01:00:00");
    EXPECT_EQ(counted[0].request.recOut, "00:01:00:20");

    Event assemble = eventOf({line("TAPE1", 0x13, 300, 900, 60)});
    assemble.assemble = true;
    const auto edits = EventEdits::of(assemble, fps30, roll);
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0].request.mode, 0x20);
}

TEST(EventEdits, WhatThePlayerCannotPlayExactlyIsRefusedNamingTheEvent)
{
    const auto with = [](auto change) {
        Event event = eventOf({line("TAPE1", 0x10, 370, 600, 45)});
        change(event);
        return event;
    };
    Event dissolve = eventOf({line("TAPE1", 0x10, 370, 600, 0), line("TAPE2", 0x10, 900, 600, 45)});
    dissolve.lines[1].transition = {Transition::Kind::Dissolve, 0, ' ', 30};
    Event wipe = dissolve;
    wipe.lines[1].transition = {Transition::Kind::Wipe, 1, ' ', 30};
    const std::pair<Event, std::string> cases[] = {
        {dissolve, "EVENT 7: A DISSOLVE NEEDS A SWITCHER"},
        {wipe, "EVENT 7: A WIPE NEEDS A SWITCHER"},
        {with([](Event& e) { e.lines[0].transition = {Transition::Kind::Key, 0, 'B', 0}; }),
         "EVENT 7: A KEY NEEDS A SWITCHER"},
        {with([](Event& e) { e.lines[0].reel = "BL"; }), "EVENT 7: BL IS NO REEL ON THE PLAYER"},
        {with([](Event& e) { e.lines[0].reel = "ax"; }), "EVENT 7: AX IS NO REEL ON THE PLAYER"},
        {with([](Event& e) { e.lines[0].reel = "BARS"; }), "EVENT 7: BARS IS NO REEL ON THE PLAYER"},
        {with([](Event& e) { e.lines.push_back(line("TAPE2", 0x01, 376, 606, 39)); }),
         "EVENT 7: ITS LINES PLAY FROM TWO REELS"},
        {with([](Event& e) { e.lines.push_back(line("TAPE1", 0x11, 376, 606, 39)); }), "EVENT 7: BOTH LINES RECORD V"},
        {with([](Event& e) { e.lines[0].channels.audio3 = true; }), "EVENT 7: AUDIO 3 AND 4 ARE NOT RECORDED BY KESTRIX"},
        {with([](Event& e) { e.lines[0].channels = Channels{}; }), "EVENT 7: IT RECORDS NO CHANNEL"},
        {with([](Event& e) { e.lines[0].sourceOut += 10; }), "EVENT 7: ITS SOURCE AND RECORD LENGTHS DIFFER"},
        {with([](Event& e) { e.lines[0].recordOut = e.lines[0].recordIn; e.lines[0].sourceOut = e.lines[0].sourceIn; }),
         "EVENT 7: IT RECORDS NO FRAME"},
        {with([](Event& e) {
             e.lines[0].recordIn = fps30.framesPerDay() - 45;
             e.lines[0].recordOut = fps30.framesPerDay();
         }),
         "EVENT 7: IT ENDS AT MIDNIGHT"},
    };
    for (const auto& [event, text] : cases) {
        try {
            EventEdits::of(event, fps30, roll);
            ADD_FAILURE() << "not refused: " << text;
        } catch (const EventRefused& refused) {
            EXPECT_EQ(refused.what(), text);
        }
    }
}
