#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <cstdint>

class QWidget;
class QPalette;

namespace corvalo {

// Window layouts are designed in twips; 15 twips make one logical pixel.
constexpr int twips(int value)
{
    return value / 15;
}
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return {twips(left), twips(top), twips(width), twips(height)};
}

// A colour as the window designs store it: 0x00BBGGRR for a fixed colour, or, with the high bit
// set, one of the desktop's colours, which follows the desktop's colour scheme.
struct Colour {
    std::uint32_t value = 0;

    static constexpr Colour fromRgb(std::uint32_t rrggbb)
    {
        return {((rrggbb & 0xFF) << 16) | (rrggbb & 0xFF00) | ((rrggbb >> 16) & 0xFF)};
    }
    constexpr bool isSystem() const { return (value & 0x80000000u) != 0; }
    QColor resolve(const QPalette& desktop) const;
    // As the standard desktop scheme shows it, which the designs were drawn with.
    QColor standardColour() const;
    bool operator==(const Colour&) const = default;
};

namespace SystemColour {
inline constexpr Colour WindowBackground{0x80000005};
inline constexpr Colour MenuText{0x80000007};
inline constexpr Colour TitleBarText{0x80000009};
inline constexpr Colour HighlightText{0x8000000E};
inline constexpr Colour ButtonFace{0x8000000F};
} // namespace SystemColour

// Back colour: a button's face, a text box's field, any other widget's background (which is then
// filled). Fore colour: the text. A desktop colour is re-read whenever the desktop palette
// changes. The value set is kept on the widget, so it can be read back exactly.
void setBackColour(QWidget* widget, Colour colour);
void setForeColour(QWidget* widget, Colour colour);
Colour backColour(const QWidget* widget);
Colour foreColour(const QWidget* widget);
// Has every widget holding a desktop colour re-read it when the desktop palette changes. Once per
// application: corvalo::setUpApplication() does it.
void followDesktopColours();

// Maps the Windows face names the layouts use onto the look-alike faces installed with Corvalo.
void installFontSubstitutes();
// A layout font: the size is given in points at 96 dots per inch, as the layouts were drawn.
QFont layoutFont(const QString& family, double points, bool bold = false, bool italic = false);
QFont defaultLayoutFont(); // "MS Sans Serif" 8.25 pt

// The caption colour for a face of a fixed colour or picture, the same under every desktop scheme:
// the standard scheme's black where it stands out from the face by 3:1 or more, else white.
QColor captionColourOn(const QColor& face);
// How far two colours stand apart in lightness, from 1 (alike) to 21 (black on white).
double contrastRatio(const QColor& one, const QColor& other);

QIcon windowIcon(); // decoded once and shared
// One of the embedded pictures, by file name ("village.jpg"), as drawn for a screen of the given
// pixel ratio (a widget's devicePixelRatioF()), with that ratio's device size; decoded once per
// ratio and shared. At 1 it is the file itself; above, the file's @2x or @3x rendering, scaled
// to the ratio where it lies between. Nothing but the file itself is read at 1.
QPixmap picture(const QString& fileName, qreal ratio = 1);
// The file name of a picture that picture() gave, or of a copy of it; empty for any other pixmap.
QString pictureName(const QPixmap& pixmap);
// An icon that paints picture(fileName, ratio) at whatever ratio it is painted at, decoding only
// that rendering; disabled, it is the style's greyed variant.
QIcon pictureIcon(const QString& fileName);

} // namespace corvalo
