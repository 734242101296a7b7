#pragma once

#include <chrono>
#include <optional>

// When a deck playing at play speed begins its frames, as seen from the moments its time code
// was asked for: the deck samples its tape some fixed time after a request reaches it, so a
// request written at a reads frame F when a lies in a window one frame long that moves on a
// frame every frame. Taken relative to the frame count, a - F·T (T the frame's length) stays
// inside one frame's span for as long as the deck plays at play speed; the latest such
// moment seen, less a frame, is the last moment a request still reads the frame before.
//
// Requests spread over the frame (the polling's own cycle does that: it is a little shorter
// than a frame) teach it that moment; then each request can go out just after it, so that
// the deck samples just after its frame began and the time code shown is as fresh as a
// reading can make it. A reading outside the span (the deck stopped, shuttled, was cued, a
// new base) starts the learning again.
class FramePhase {
public:
    using Clock = std::chrono::steady_clock;

    // A reading of frame on a base whose frame lasts msPerFrame, asked at asked.
    void add(int frame, Clock::time_point asked, double msPerFrame);
    void forget();
    // The first moment at or after notBefore to ask for the next time code so that the deck
    // samples within margin milliseconds after one of its frames began; nothing until enough
    // readings of a deck at play speed have been seen.
    std::optional<Clock::time_point> nextRequest(Clock::time_point notBefore, double marginMs) const;
    double msPerFrame() const { return msPerFrame_; }

private:
    double offsetOf(Clock::time_point moment) const;

    double msPerFrame_ = 0;
    // The moment the deck's frame 0 would have been asked for at offset 0.
    Clock::time_point origin_{};
    // The span of a - F·T over the readings since the last start, in ms after origin_.
    double earliest_ = 0;
    double latest_ = 0;
    int readings_ = 0;
};
