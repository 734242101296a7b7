#pragma once

#include "ui/Widget.h"

#include <QMargins>

#include <memory>
#include <vector>

namespace ui {

// A container with absolute placement. Besides its children it carries marks: filled bars
// (the highlight bars above buttons) that are part of the panel's state, painted over its
// background on every repaint, and covered only by a later bar over the same place.
class Panel : public Widget {
public:
    struct Mark {
        QRect area;
        QColor colour;
    };

    Panel();

    void add(Widget& child);

    // The panel has no border, so its contents start at its corner.
    QMargins insets() const { return {}; }

    void drawBar(const QRect& area, const QColor& colour);
    std::vector<Mark> marks() const;
    // The colour of the last bar covering the point, or an invalid colour when none does.
    QColor markAt(int x, int y) const;

    struct MarkList;

private:
    explicit Panel(std::shared_ptr<MarkList> marks);

    std::shared_ptr<MarkList> marks_;
};

}
