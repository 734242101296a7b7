#pragma once

#include <functional>

namespace ui {

// The one gate to the GUI thread. Widgets live on the GUI thread only; every other thread
// reaches them through here.
class Gui {
public:
    static bool onGuiThread();

    // Runs fn on the GUI thread without waiting for it: at once when called there, queued
    // otherwise. Calls queued by one thread run in the order they were made.
    static void post(std::function<void()> fn);

    // Runs fn on the GUI thread and waits until it has run. Never called by the GUI thread
    // while it waits for another thread, so it cannot deadlock.
    static void call(const std::function<void()>& fn);
};

}
