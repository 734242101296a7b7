#include "ui/Panel.h"

#include <QPainter>

#include <algorithm>

namespace ui {

struct Panel::MarkList {
    mutable std::mutex mutex;
    std::vector<Mark> marks;
};

namespace {

class MarkedWidget : public QWidget {
public:
    explicit MarkedWidget(std::shared_ptr<Panel::MarkList> marks) : marks_(std::move(marks)) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        std::vector<Panel::Mark> marks;
        {
            std::lock_guard lock(marks_->mutex);
            marks = marks_->marks;
        }
        QPainter painter(this);
        for (const Panel::Mark& mark : marks)
            painter.fillRect(mark.area, mark.colour);
    }

private:
    std::shared_ptr<Panel::MarkList> marks_;
};

}

Panel::Panel() : Panel(std::make_shared<MarkList>())
{
}

Panel::Panel(std::shared_ptr<MarkList> marks) : Widget(create<MarkedWidget>(marks)), marks_(std::move(marks))
{
}

void Panel::add(Widget& child)
{
    apply([&child](QWidget* panel) {
        if (QWidget* widget = child.qwidget()) {
            widget->setParent(panel);
            // Changing the parent hides a widget; it shows again as the wrapper says.
            widget->setVisible(child.isVisible());
        }
    });
}

void Panel::drawBar(const QRect& area, const QColor& colour)
{
    {
        std::lock_guard lock(marks_->mutex);
        // A bar that the new one covers completely can never show again.
        std::erase_if(marks_->marks, [&area](const Mark& mark) { return area.contains(mark.area); });
        marks_->marks.push_back({area, colour});
    }
    apply([area](QWidget* panel) { panel->update(area); });
}

std::vector<Panel::Mark> Panel::marks() const
{
    std::lock_guard lock(marks_->mutex);
    return marks_->marks;
}

QColor Panel::markAt(int x, int y) const
{
    std::lock_guard lock(marks_->mutex);
    for (auto mark = marks_->marks.rbegin(); mark != marks_->marks.rend(); ++mark) {
        if (mark->area.contains(x, y))
            return mark->colour;
    }
    return {};
}

}
