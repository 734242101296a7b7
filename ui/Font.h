#pragma once

#include <QFont>

namespace ui {

// A font as the panels name it: family, plain or bold, point size.
struct Font {
    static Font helvetica(int pointSize, bool bold = false);

    QFont toQFont() const;

    const char* family = "Helvetica";
    bool bold = false;
    int pointSize = 13;
};

}
