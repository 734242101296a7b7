#pragma once

#include "deck/TimeBase.h"

#include <string>

// How a list's time codes label frames: drop-frame labels, which only the 29.97 rate has, or
// every label. A list states it on its FCM: lines and may change it between events.
enum class FrameCountMode { NonDrop, DropFrame };

// "DROP FRAME" or "NON-DROP FRAME", as the FCM: line says it.
std::string fcmText(FrameCountMode mode);

// A list may count drop frame only on the time base that counts drop frame (29.97DF); it may
// count every label on any base, since the 29.97 rate carries either labelling. A list on
// another base (30, 29.97 without drop frame, 25) that says DROP FRAME is refused.
bool fitsTimeBase(FrameCountMode mode, TimeBase base);

// The mode a list on this base counts in until an FCM: line says otherwise.
FrameCountMode defaultMode(TimeBase base);

// The base whose labels a list on listBase writes in this mode: drop-frame labels, or the
// base's own labels counted without drops (29.97 for the drop-frame base).
TimeBase labelBase(TimeBase listBase, FrameCountMode mode);
