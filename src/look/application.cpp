#include "application.h"

#include "accessibility.h"
#include "appearance.h"
#include "pixelratio.h"
#include "screenreader.h"
#include "style.h"

#include <QApplication>
#include <QPixmapCache>
#include <QScreen>

#include <cmath>
#include <csignal>

namespace corvalo {

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Corvalo"));
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVALO_APP_ID));
    QApplication::setStyle(makeStyle());
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutes();

    // Process-wide, once each. A write to a program that has gone (the store program) fails
    // and is handled, rather than ending this one.
    std::signal(SIGPIPE, SIG_IGN);
    installPlainWidgetInterfaces();
    followScreenReader();
    tidyAnnouncements();
    followDesktopColours();
    followPixelRatio();
    // The pixmap cache is sized for pictures at 100 %; at 300 % they take nine times the room.
    qreal ratio = 1;
    for (const QScreen* screen : QGuiApplication::screens())
        ratio = std::max(ratio, screen->devicePixelRatio());
    constexpr int atOneHundredPercent = 10240; // KiB, Qt's own default
    QPixmapCache::setCacheLimit(static_cast<int>(std::ceil(ratio * ratio)) * atOneHundredPercent);
}

void keepGtkOffAccessibilityBus()
{
    qputenv("NO_AT_BRIDGE", "1");
}

} // namespace corvalo
