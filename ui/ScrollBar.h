#pragma once

#include "ui/Widget.h"

#include <functional>

namespace ui {

// A horizontal scroll bar. The value runs from minimum to maximum - visible amount, as on a
// bar whose thumb is `visible` wide; each change is performed on the operator thread.
class ScrollBar : public Widget {
public:
    ScrollBar(int value, int visible, int minimum, int maximum);

    int value() const;
    void setValue(int value);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int visibleAmount() const { return visible_; }

    void onValueChanged(std::function<void(int)> handler);

private:
    void changed(int value);

    int value_;
    const int visible_;
    const int minimum_;
    const int maximum_;
    std::function<void(int)> handler_;
};

}
