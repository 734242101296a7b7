#include "ui/Choice.h"

#include <QComboBox>

namespace ui {

Choice::Choice() : Widget(create<QComboBox>())
{
    Gui::call([this] {
        // Only the operator's choices: the program's own selections are recorded when made,
        // and a late echo of an earlier one must not overwrite a newer selection.
        QObject::connect(static_cast<QComboBox*>(qwidget()), &QComboBox::activated,
                         [this](int index) { selected(index); });
    });
}

void Choice::add(const std::string& item)
{
    {
        std::lock_guard lock(mutex_);
        items_.push_back(item);
        // A choice shows its first item until another is selected.
        if (selected_ < 0)
            selected_ = 0;
    }
    apply([item](QWidget* w) { static_cast<QComboBox*>(w)->addItem(QString::fromStdString(item)); });
}

void Choice::select(int index)
{
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= static_cast<int>(items_.size()))
            return;
        selected_ = index;
    }
    apply([index](QWidget* w) { static_cast<QComboBox*>(w)->setCurrentIndex(index); });
}

int Choice::selectedIndex() const
{
    std::lock_guard lock(mutex_);
    return selected_;
}

std::string Choice::selectedItem() const
{
    std::lock_guard lock(mutex_);
    return selected_ >= 0 ? items_[selected_] : std::string();
}

std::vector<std::string> Choice::items() const
{
    std::lock_guard lock(mutex_);
    return items_;
}

void Choice::selected(int index)
{
    std::lock_guard lock(mutex_);
    if (index >= 0 && index < static_cast<int>(items_.size()))
        selected_ = index;
}

}
