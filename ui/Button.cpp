#include "ui/Button.h"

#include "ui/OperatorThread.h"

#include <QPushButton>

namespace ui {

Button::Button(const std::string& label)
    : Widget(create<QPushButton>(QString::fromStdString(label))), label_(label)
{
    Gui::call([this] {
        auto* button = static_cast<QPushButton*>(qwidget());
        // A button never holds the keyboard: Space and Return are the operator's keys for the
        // decks and the edit, not for whichever button was clicked last.
        button->setFocusPolicy(Qt::NoFocus);
        QObject::connect(button, &QPushButton::clicked, [this] { pressed(); });
    });
}

std::string Button::label() const
{
    return label_;
}

void Button::setCommand(const std::string& command)
{
    std::lock_guard lock(mutex_);
    command_ = command;
}

std::string Button::command() const
{
    std::lock_guard lock(mutex_);
    return command_;
}

void Button::setListener(Listener listener, Press press)
{
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
    press_ = press;
}

void Button::click()
{
    static_cast<QPushButton*>(qwidget())->click();
}

void Button::pressed()
{
    Listener listener;
    std::string command;
    Press press;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
        command = command_;
        press = press_;
    }
    if (!listener)
        return;
    auto action = [listener, command] { listener(command); };
    if (press == Press::AbortsSequence)
        OperatorThread::instance().postAborting(action);
    else
        OperatorThread::instance().postPress(action, press == Press::StartsSequence);
}

}
