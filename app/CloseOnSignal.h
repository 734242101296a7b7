#pragma once

namespace ui {
class Frame;
}

// Makes SIGTERM and SIGINT close a window as the operator's close button does: the signal
// handler only writes to a pipe, and the GUI thread turns that into the close request.
class CloseOnSignal {
public:
    // For the GUI thread; the window lives as long as the process.
    static void install(ui::Frame& window);
};
