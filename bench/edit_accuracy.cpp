// Performs auto edits on the virtual decks and prints, for each, how many frames the recorded
// stretch lies from the marked points: record in, record out, and source against record.
// An ideal deck (no reply delay, no edit delay) and a realistic one (3 ms replies, edit delay
// of 5 frames, compensated by an edit adjust of -5).
#include "tests/e2e/EditRig.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string timecode(int frames)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", frames / 108000, frames / 1800 % 60, frames / 30 % 60,
                  frames % 30);
    return text;
}

struct Deck {
    const char* name;
    decksim::Options options;
    int adjust;
};

void run(const Deck& deck, int edits)
{
    std::printf("%s deck (reply delay %d ms, edit delay %d frames, EditAdjust %d)\n", deck.name,
                deck.options.replyDelayMs, deck.options.editDelayFrames, deck.adjust);
    std::printf("  edit  mode  length  rec in  rec out  src vs rec\n");
    EditRig rig({.decks = deck.options, .preroll = 1, .adjust = deck.adjust});
    rig.chooseMode(0x53);
    for (int edit = 0; edit < edits; ++edit) {
        const int length = 30 + 17 * edit;
        const int playIn = 60 + 97 * edit;
        const int recIn = 300 + 240 * edit;
        rig.setPoints(*rig.player, timecode(playIn), timecode(playIn + length));
        rig.setPoints(*rig.recorder, timecode(recIn), timecode(recIn + length));
        const auto before = rig.segments().size();
        rig.panel().bautostart.click();
        // The press shows its command first; the last edit's "Edit Completed" is gone then.
        if (!rig.waitForStatus("DO EDIT", 5000) || !rig.waitForStatus("Edit Completed", 90000)) {
            std::printf("  %4d  the edit did not complete: %s\n", edit + 1, rig.panel().statusfield.text().c_str());
            continue;
        }
        const auto segments = rig.segments();
        if (segments.size() != before + 1) {
            std::printf("  %4d  %zu new segments on the recorder's tape\n", edit + 1, segments.size() - before);
            continue;
        }
        const EditRig::Segment* made = nullptr;
        for (const EditRig::Segment& segment : segments) {
            if (segment.recFirst >= recIn - 30 && segment.recFirst <= recIn + 30)
                made = &segment;
        }
        if (!made) {
            std::printf("  %4d  no segment near the record in point\n", edit + 1);
            continue;
        }
        std::printf("  %4d  %-4s  %6d  %+6d  %+7d  %+10d\n", edit + 1, made->channels == "V,A1,A2" ? "AA/V" : "?",
                    length, made->recFirst - recIn, made->recLast + 1 - (recIn + length),
                    (made->srcFirst - made->recFirst) - (playIn - recIn));
    }
}

}

int main(int argc, char* argv[])
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const int edits = argc > 1 ? std::atoi(argv[1]) : 5;
    run({"ideal", {.replyDelayMs = 0, .editDelayFrames = 0}, 0}, edits);
    run({"realistic", {.replyDelayMs = 3, .editDelayFrames = 5}, -5}, edits);
    return 0;
}
