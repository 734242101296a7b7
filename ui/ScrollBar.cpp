#include "ui/ScrollBar.h"

#include "ui/OperatorThread.h"

#include <QScrollBar>

namespace ui {

ScrollBar::ScrollBar(int value, int visible, int minimum, int maximum)
    : Widget(create<QScrollBar>(Qt::Horizontal)), value_(value), visible_(visible), minimum_(minimum),
      maximum_(maximum)
{
    Gui::call([this] {
        auto* bar = static_cast<QScrollBar*>(qwidget());
        bar->setRange(minimum_, maximum_ - visible_);
        bar->setPageStep(visible_);
        bar->setValue(value_);
        QObject::connect(bar, &QScrollBar::valueChanged, [this](int now) { changed(now); });
    });
}

int ScrollBar::value() const
{
    std::lock_guard lock(mutex_);
    return value_;
}

void ScrollBar::setValue(int value)
{
    apply([value](QWidget* w) { static_cast<QScrollBar*>(w)->setValue(value); });
}

void ScrollBar::onValueChanged(std::function<void(int)> handler)
{
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void ScrollBar::changed(int value)
{
    std::function<void(int)> handler;
    {
        std::lock_guard lock(mutex_);
        value_ = value;
        handler = handler_;
    }
    if (handler)
        OperatorThread::instance().postPress([handler, value] { handler(value); });
}

}
