#pragma once

#include <QFont>

namespace ui {

// A font as the panels name it: family, plain or bold, point size.
struct Font {
    static Font helvetica(int pointSize, bool bold = false);
    // The size of the windows' and panels' own font; start-up sets it from the settings.
    static inline int applicationHeight = 13;

    QFont toQFont() const;

    const char* family = "Helvetica";
    bool bold = false;
    int pointSize = 13;
};

}
