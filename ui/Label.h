#pragma once

#include "ui/Widget.h"

#include <string>

namespace ui {

class Label : public Widget {
public:
    explicit Label(const std::string& text);

    void setText(const std::string& text);
    std::string text() const;

private:
    std::string text_;
};

}
