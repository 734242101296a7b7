#pragma once

#include "ui/Widget.h"

#include <functional>
#include <string>

namespace ui {

// A push button with a command string, carried by its press independently of its label.
// Presses are performed on the operator thread.
class Button : public Widget {
public:
    using Listener = std::function<void(const std::string& command)>;
    // Queued presses are refused while a sequence runs; AbortsSequence presses abort it first;
    // StartsSequence presses begin one (an edit, a preview).
    enum class Press { Queued, AbortsSequence, StartsSequence };

    explicit Button(const std::string& label);

    std::string label() const;
    void setCommand(const std::string& command);
    std::string command() const;

    // One listener; AbortsSequence presses first abort a running sequence (see OperatorThread).
    void setListener(Listener listener, Press press = Press::Queued);

    // Presses the button as the operator would; for the GUI thread.
    void click();

private:
    void pressed();

    std::string label_;
    std::string command_;
    Listener listener_;
    Press press_ = Press::Queued;
};

}
