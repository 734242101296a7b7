#include "ui/Widget.h"

#include <QPalette>

namespace ui {

Widget::Widget(QWidget* widget) : widget_(widget)
{
}

Widget::~Widget()
{
    // Deleting a child also takes it out of its parent; a widget already deleted with its
    // parent is left alone.
    QPointer<QWidget> widget = widget_;
    Gui::call([widget] { delete widget.data(); });
}

void Widget::apply(std::function<void(QWidget*)> change)
{
    QPointer<QWidget> widget = widget_;
    Gui::post([widget, change = std::move(change)] {
        if (widget)
            change(widget.data());
    });
}

void Widget::setBounds(int x, int y, int width, int height)
{
    {
        std::lock_guard lock(mutex_);
        bounds_ = QRect(x, y, width, height);
    }
    apply([x, y, width, height](QWidget* w) { w->setGeometry(x, y, width, height); });
}

QRect Widget::bounds() const
{
    std::lock_guard lock(mutex_);
    return bounds_;
}

void Widget::setEnabled(bool enabled)
{
    {
        std::lock_guard lock(mutex_);
        enabled_ = enabled;
    }
    apply([enabled](QWidget* w) { w->setEnabled(enabled); });
}

bool Widget::isEnabled() const
{
    std::lock_guard lock(mutex_);
    return enabled_;
}

void Widget::setVisible(bool visible)
{
    {
        std::lock_guard lock(mutex_);
        visible_ = visible;
    }
    apply([visible](QWidget* w) { w->setVisible(visible); });
}

bool Widget::isVisible() const
{
    std::lock_guard lock(mutex_);
    return visible_;
}

void Widget::setBackground(const QColor& colour)
{
    {
        std::lock_guard lock(mutex_);
        background_ = colour;
    }
    apply([colour](QWidget* w) {
        QPalette palette = w->palette();
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
            palette.setColor(role, colour);
        w->setPalette(palette);
        w->setAutoFillBackground(true);
    });
}

QColor Widget::background() const
{
    std::lock_guard lock(mutex_);
    return background_;
}

void Widget::setForeground(const QColor& colour)
{
    {
        std::lock_guard lock(mutex_);
        foreground_ = colour;
    }
    apply([colour](QWidget* w) {
        QPalette palette = w->palette();
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, colour);
        w->setPalette(palette);
    });
}

QColor Widget::foreground() const
{
    std::lock_guard lock(mutex_);
    return foreground_;
}

void Widget::setFont(const Font& font)
{
    {
        std::lock_guard lock(mutex_);
        font_ = font;
    }
    apply([font](QWidget* w) { w->setFont(font.toQFont()); });
}

Font Widget::font() const
{
    std::lock_guard lock(mutex_);
    return font_;
}

}
