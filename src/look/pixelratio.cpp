#include "pixelratio.h"

#include "appearance.h"
#include "placement.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#if QT_VERSION < QT_VERSION_CHECK(6, 6, 0)
#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>
#endif

namespace corvalo {

namespace {

constexpr char ratioProperty[] = "corvalo.drawnAtRatio";
constexpr char sizeProperty[] = "corvalo.logicalSize";

class RatioFollower : public QObject {
public:
    explicit RatioFollower(QObject* parent) : QObject(parent)
    {
        for (QScreen* screen : QGuiApplication::screens())
            watch(screen);
        connect(qApp, &QGuiApplication::screenAdded, this, &RatioFollower::watch);
        qApp->installEventFilter(this);
    }

protected:
    // A window's size in logical pixels is noted while it is drawn at one ratio; a window shown
    // again after the ratio changed while it was hidden catches up.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::Resize || event->type() == QEvent::Show) &&
            watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
            auto* window = static_cast<QWidget*>(watched);
            const QVariant ratio = window->property(ratioProperty);
            if (!ratio.isValid() || ratio.toReal() == window->devicePixelRatioF()) {
                window->setProperty(ratioProperty, window->devicePixelRatioF());
                window->setProperty(sizeProperty, window->size());
            } else if (event->type() == QEvent::Show) {
                follow(window);
            }
        }
        return false;
    }

private:
    // A screen's logical size changes with its ratio; Qt has done its part once this is seen.
    void watch(QScreen* screen)
    {
        connect(screen, &QScreen::geometryChanged, this, [this, screen] {
            QTimer::singleShot(0, this, [this, screen] {
                for (QWidget* window : QApplication::topLevelWidgets())
                    if (window->isVisible() && window->screen() == screen)
                        follow(window);
            });
        });
    }

    static void follow(QWidget* window)
    {
        const qreal ratio = window->devicePixelRatioF();
        const QVariant drawnAt = window->property(ratioProperty);
        if (!drawnAt.isValid() || drawnAt.toReal() == ratio)
            return;
        const QSize size = window->property(sizeProperty).toSize();
        window->setProperty(ratioProperty, ratio);
#if QT_VERSION < QT_VERSION_CHECK(6, 6, 0)
        // Qt 6.4 keeps the window's place and size in device pixels, so its logical size shrinks
        // or grows with the ratio; and a window the window manager does not frame is not even
        // told, so it goes on painting into a buffer of the old size. The window is told its
        // size in device pixels, as the others are, then given its logical size back where it
        // stands on the screen.
        QWindow* surface = window->windowHandle();
        if (const QPlatformWindow* native = surface ? surface->handle() : nullptr) {
            const QRect device = native->geometry();
            QWindowSystemInterface::handleGeometryChange<
                QWindowSystemInterface::SynchronousDelivery>(surface, device);
            surface->setGeometry(QRect(device.topLeft() / ratio, size));
        }
        keepOnScreen(window, {});
#endif
        for (QLabel* label : window->findChildren<QLabel*>()) {
            const QString name = pictureName(label->pixmap());
            if (!name.isEmpty())
                label->setPixmap(picture(name, ratio));
        }
        window->update();
    }
};

} // namespace

void followPixelRatio()
{
    new RatioFollower(qApp);
}

} // namespace corvalo
