#pragma once

namespace ui {
class Frame;
}

// Makes SIGTERM, SIGINT, SIGHUP and SIGQUIT close a window as the operator's close button
// does: the signal handler only writes to a pipe, and the GUI thread turns that into the close
// request (which aborts a running edit first).
class CloseOnSignal {
public:
    // For the GUI thread; the window lives as long as the process.
    static void install(ui::Frame& window);
};
