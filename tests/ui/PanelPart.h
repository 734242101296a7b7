#pragma once

#include "ui/Widget.h"

// One widget of a panel, for tables of widgets of different kinds.
template <auto member, class Panel>
ui::Widget* part(Panel& panel)
{
    return &(panel.*member);
}
