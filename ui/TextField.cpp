#include "ui/TextField.h"

#include "ui/OperatorThread.h"

#include <QLineEdit>

namespace ui {

TextField::TextField(const std::string& text, int columns)
    : Widget(create<QLineEdit>(QString::fromStdString(text))), text_(text), columns_(columns)
{
    Gui::call([this] {
        auto* edit = static_cast<QLineEdit*>(qwidget());
        QObject::connect(edit, &QLineEdit::textEdited, [this](const QString& now) { typed(now.toStdString()); });
        QObject::connect(edit, &QLineEdit::returnPressed, [this] { enterPressed(); });
    });
}

void TextField::setText(const std::string& text)
{
    {
        // The time code displays are set many times a second while the tape stands still;
        // the same text again changes nothing on the screen.
        std::lock_guard lock(mutex_);
        if (text == text_)
            return;
        text_ = text;
    }
    apply([text](QWidget* w) { static_cast<QLineEdit*>(w)->setText(QString::fromStdString(text)); });
}

std::string TextField::text() const
{
    std::lock_guard lock(mutex_);
    return text_;
}

void TextField::setEditable(bool editable)
{
    {
        std::lock_guard lock(mutex_);
        editable_ = editable;
    }
    apply([editable](QWidget* w) { static_cast<QLineEdit*>(w)->setReadOnly(!editable); });
}

bool TextField::isEditable() const
{
    std::lock_guard lock(mutex_);
    return editable_;
}

void TextField::onEnter(std::function<void()> handler)
{
    std::lock_guard lock(mutex_);
    enterHandler_ = std::move(handler);
}

void TextField::type(const std::string& text, bool pressEnter)
{
    auto* edit = static_cast<QLineEdit*>(qwidget());
    if (edit->isReadOnly())
        return;
    edit->setText(QString::fromStdString(text));
    typed(text);
    if (pressEnter)
        enterPressed();
}

void TextField::typed(const std::string& text)
{
    std::lock_guard lock(mutex_);
    text_ = text;
}

void TextField::enterPressed()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = enterHandler_;
    }
    if (handler)
        OperatorThread::instance().postPress(handler);
}

}
