#pragma once

#include "ui/Button.h"
#include "ui/Widget.h"

#include <QSize>

#include <functional>
#include <string>

namespace ui {

// A top-level window. The operator's close request does not close it: it is performed by the
// close handler on the operator thread, which decides (dispose() closes for real).
class Frame : public Widget {
public:
    explicit Frame(const std::string& title);

    std::string title() const;

    // Children are placed by their bounds, or, after useGrid(), fill a grid row by row.
    void add(Widget& child);
    void useGrid(int rows, int columns);

    void setSize(int width, int height);
    QSize size() const;

    void show() { setVisible(true); }
    void hide() { setVisible(false); }

    void onCloseRequested(std::function<void()> handler, Button::Press press = Button::Press::Queued);
    // Closes the window as the operator's close button does; for the GUI thread.
    void requestClose();
    void dispose();

private:
    void closeRequested();

    std::string title_;
    int gridColumns_ = 0;
    int added_ = 0;
    QSize size_;
    std::function<void()> closeHandler_;
    Button::Press closePress_ = Button::Press::Queued;
};

}
