#include "ui/Font.h"

namespace ui {

Font Font::helvetica(int pointSize, bool bold)
{
    Font font;
    font.pointSize = pointSize;
    font.bold = bold;
    return font;
}

QFont Font::toQFont() const
{
    QFont font(family);
    // The panels' sizes were laid out for fonts of this many pixels (a size in points at 72
    // dots per inch); points on a 96-dpi screen would not fit the buttons.
    font.setPixelSize(pointSize);
    font.setBold(bold);
    // Helvetica is rarely installed on Linux; let the font system pick the nearest sans face.
    font.setStyleHint(QFont::Helvetica);
    return font;
}

}
