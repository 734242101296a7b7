#include "ui/Label.h"

#include <QLabel>

namespace ui {

Label::Label(const std::string& text) : Widget(create<QLabel>(QString::fromStdString(text))), text_(text)
{
}

void Label::setText(const std::string& text)
{
    {
        std::lock_guard lock(mutex_);
        if (text == text_)
            return;
        text_ = text;
    }
    apply([text](QWidget* w) { static_cast<QLabel*>(w)->setText(QString::fromStdString(text)); });
}

std::string Label::text() const
{
    std::lock_guard lock(mutex_);
    return text_;
}

}
