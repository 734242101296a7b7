#pragma once

#include <string>

// What a deck shows its operator, and the edit points the operator has typed for it. The
// deck calls it from whichever thread is working the deck (its polling thread, a cue
// thread, the operator thread), so an implementation hands each call on to the thread that
// draws. The deck panel is the one in service; tests use a fake that keeps what it was told.
class DeckView {
public:
    // Which lamps of the transport row the deck's status lights.
    struct TransportLamps {
        bool play = false;
        bool forward = false;
        bool rewind = false;
        bool stop = false;
        bool standby = false;
        bool shuttle = false;
        bool jogForward = false;
        bool jogReverse = false;
    };
    enum class Point { In, Out };

    virtual ~DeckView() = default;

    // The deck's running time code.
    virtual void ShowTC(const std::string& tc) = 0;
    // A message for the operator: a result, a failure, the deck going offline.
    virtual void ShowStatus(const std::string& text) = 0;
    // The deck's polled transport status; a message just shown stays a while before it.
    virtual void ShowPolledStatus(const std::string& text) = 0;
    virtual void showTransport(const TransportLamps& lamps) = 0;
    // The record tally: on while the deck records or is in edit.
    virtual void showRecordTally(bool recording) = 0;
    // A warning the operator must not miss (shown in red), standing until it is cleared with
    // an empty text: a recorder recording on after its edit.
    virtual void showAlarm(const std::string& text) = 0;

    // The point as the operator left it: what was typed, or what the deck last showed.
    virtual std::string pointText(Point point) const = 0;
    // Shows a point the deck has taken (settcfield).
    virtual void showPoint(Point point, const std::string& tc) = 0;
    // An out point at or before the in point is marked until a valid one is set.
    virtual void showOutPointRefused(bool refused) = 0;
    // Marks which points the deck accepted.
    virtual void hilightinout(bool in, bool out) = 0;

    // While a cue runs, cue-and-play and review are refused and the points cannot be typed.
    virtual void lockForCue() = 0;
    virtual void unlockAfterCue() = 0;
};
