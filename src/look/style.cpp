#include "style.h"

#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace corvalo {

namespace {

// Fusion paints a menu-bar item highlighted only while its drop-down menu is open, so an item
// chosen with the arrow keys after Alt or F10 looked like every other. While the menu bar has the
// keyboard, its chosen item is painted as Fusion paints an open one.
class ProgramStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element == CE_MenuBarItem && item && (item->state & State_Selected) && widget &&
            widget->hasFocus()) {
            QStyleOptionMenuItem chosen = *item;
            chosen.state |= State_Sunken;
            QProxyStyle::drawControl(element, &chosen, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

} // namespace

QStyle* makeStyle()
{
    return new ProgramStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

} // namespace corvalo
