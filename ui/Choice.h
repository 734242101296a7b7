#pragma once

#include "ui/Widget.h"

#include <string>
#include <vector>

namespace ui {

// A drop-down choice of texts.
class Choice : public Widget {
public:
    Choice();

    void add(const std::string& item);
    void select(int index);
    int selectedIndex() const;
    std::string selectedItem() const;
    std::vector<std::string> items() const;

private:
    void selected(int index);

    std::vector<std::string> items_;
    int selected_ = -1;
};

}
