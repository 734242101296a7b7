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
    QFont font(family, pointSize, bold ? QFont::Bold : QFont::Normal);
    // Helvetica is rarely installed on Linux; let the font system pick the nearest sans face.
    font.setStyleHint(QFont::Helvetica);
    return font;
}

}
