#pragma once

#include "ui/Widget.h"

#include <functional>
#include <string>

namespace ui {

// A one-line text field. Its text can be set and read from any thread: the wrapper keeps a
// copy that follows both the program's changes and the operator's typing.
class TextField : public Widget {
public:
    TextField(const std::string& text, int columns);

    void setText(const std::string& text);
    std::string text() const;

    void setEditable(bool editable);
    bool isEditable() const;

    int columns() const { return columns_; }

    // The Enter key; performed on the operator thread.
    void onEnter(std::function<void()> handler);

    // Types text into the field as the operator would, replacing what it holds, and presses
    // Enter when asked; for the GUI thread.
    void type(const std::string& text, bool pressEnter);

private:
    void typed(const std::string& text);
    void enterPressed();

    std::string text_;
    bool editable_ = true;
    const int columns_;
    std::function<void()> enterHandler_;
};

}
