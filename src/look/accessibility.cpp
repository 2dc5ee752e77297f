#include "accessibility.h"

#include "textboxaccess.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLineEdit>
#include <QMenu>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QPointer>
#include <QtCore/private/qobject_p_p.h>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/private/qspiaccessiblebridge_p.h>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace corvalo {

namespace {

constexpr const char* roleProperty = "corvaloAccessibleRole";

// A screen reader could say nothing about it: no name, no children, never focused.
bool saysNothing(QWidget* widget)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return !iface || (iface->childCount() == 0 && iface->text(QAccessible::Name).isEmpty() &&
                      !iface->state().focusable);
}

// A plain widget, as Qt exposes it, less the children that say nothing. The children are
// looked at afresh on every question, so a label that gains text appears.
class PlainWidget : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    QAccessible::Role role() const override
    {
        if (!widget()->isWindow())
            return QAccessibleWidget::role();
        const QVariant role = widget()->property(roleProperty);
        return role.isValid() ? QAccessible::Role(role.toInt()) : QAccessible::Window;
    }
    int childCount() const override { return int(shownChildren().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = shownChildren();
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children.at(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        return int(shownChildren().indexOf(qobject_cast<QWidget*>(child->object())));
    }

private:
    QList<QWidget*> shownChildren() const
    {
        QList<QWidget*> shown;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            // Windows and menus are reached on their own, as Qt has them.
            if (child && !child->isWindow() && !qobject_cast<QMenu*>(child) && !saysNothing(child))
                shown.append(child);
        }
        // In reading order, line by line, rather than in the order they are stacked.
        std::stable_sort(shown.begin(), shown.end(), [](const QWidget* a, const QWidget* b) {
            return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
        });
        return shown;
    }
};

// The application's windows as a screen reader finds them: those never shown on the screen, such
// as the surface the web engine draws on, are left out.
class ShownWindows : public QAccessibleApplication {
public:
    int childCount() const override { return int(windows().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<QAccessibleInterface*> all = windows();
        return index >= 0 && index < all.size() ? all.at(index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return int(windows().indexOf(child));
    }

private:
    QList<QAccessibleInterface*> windows() const
    {
        QList<QAccessibleInterface*> shown;
        for (int i = 0; i < QAccessibleApplication::childCount(); ++i) {
            QAccessibleInterface* window = QAccessibleApplication::child(i);
            const auto* surface = window ? qobject_cast<QWindow*>(window->object()) : nullptr;
            if (window && !(surface && !surface->isVisible()))
                shown.append(window);
        }
        return shown;
    }
};

// Asked for each class of a widget from the most derived up; "QFrame" and "QWidget" are reached
// only by widgets for which Qt has no interface of a more particular kind. A bare frame is a
// grouping: Qt would call it a "border", which reaches a screen reader as a window frame.
QAccessibleInterface* plainWidgetFactory(const QString& className, QObject* object)
{
    if (object && object == qApp && className == QLatin1String("QApplication"))
        return new ShownWindows;
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("QWidget"))
        return new PlainWidget(widget, QAccessible::Client);
    if (className == QLatin1String("QLineEdit"))
        return new TextBoxAccess(static_cast<QLineEdit*>(widget));
    if (className == QLatin1String("QFrame"))
        return new PlainWidget(widget, QAccessible::Grouping);
    return nullptr;
}

// Qt 6.4 sends a changed description as a reference to the object rather than as the text, and
// Orca 43 fails on it. The change goes out again here as AT-SPI has it: on the accessibility
// bus Qt opened, from the object Qt exposes for the widget.
void sendDescriptionChange(QWidget* widget, const QString& text)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    const QDBusConnection bus(QStringLiteral("a11y"));
    if (!QAccessible::isActive() || !iface || !bus.isConnected())
        return;
    const QString path =
        QStringLiteral("/org/a11y/atspi/accessible/%1").arg(QAccessible::uniqueId(iface));
    QDBusMessage change = QDBusMessage::createSignal(
        path, QStringLiteral("org.a11y.atspi.Event.Object"), QStringLiteral("PropertyChange"));
    QDBusArgument root;
    root.beginStructure();
    root << bus.baseService() << QDBusObjectPath("/org/a11y/atspi/accessible/root");
    root.endStructure();
    change << QStringLiteral("accessible-description") << 0 << 0
           << QVariant::fromValue(QDBusVariant(text)) << QVariant::fromValue(root);
    bus.send(change);
}

// Qt reads the desktop's accessibility status when the session bus offers the accessibility bus,
// and never again. Its bridge learns of the status from an object of its own that it is
// connected to; that object is asked to read the status afresh.
void readAccessibilityStatusAgain()
{
    QSpiAccessibleBridge* bridge = QSpiAccessibleBridge::instance();
    QObjectPrivate::ConnectionData* connections =
        bridge ? QObjectPrivate::get(bridge)->connections.loadRelaxed() : nullptr;
    for (auto* c = connections ? connections->senders : nullptr; c; c = c->next)
        if (c->sender && qstrcmp(c->sender->metaObject()->className(), "DBusConnection") == 0) {
            QMetaObject::invokeMethod(c->sender, "serviceRegistered", Qt::QueuedConnection);
            return;
        }
}

// Follows the desktop's accessibility status; and once the program is on the accessibility bus,
// however late, tells the screen reader which window is active and what has the focus, which it
// would otherwise learn only at the next change.
class ScreenReaderWatch : public QObject, public QAccessible::ActivationObserver {
    Q_OBJECT
public:
    explicit ScreenReaderWatch(QObject* parent) : QObject(parent)
    {
        QDBusConnection::sessionBus().connect(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
            this, SLOT(statusChanged(QString, QVariantMap, QStringList)));
        QAccessible::installActivationObserver(this);
    }
    ~ScreenReaderWatch() override { QAccessible::removeActivationObserver(this); }

    void accessibilityActiveChanged(bool active) override
    {
        // Qt joins the bus only after telling its observers.
        if (active)
            QTimer::singleShot(0, this, &ScreenReaderWatch::tellWhereWeAre);
    }

private:
    static void tellWhereWeAre()
    {
        QWidget* window = QApplication::activeWindow();
        if (!window)
            return;
        QAccessible::State active;
        active.active = true;
        QAccessibleStateChangeEvent activated(window, active);
        QAccessible::updateAccessibility(&activated);
        QAccessibleEvent focus(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                               QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }

private slots:
    void statusChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == QLatin1String("org.a11y.Status") && !QAccessible::isActive() &&
            (changed.value(QStringLiteral("IsEnabled")).toBool() ||
             changed.value(QStringLiteral("ScreenReaderEnabled")).toBool()))
            readAccessibilityStatusAgain();
    }
};

// Qt tells of the selection a text box makes as the keyboard reaches it before it tells of the
// box's focus, and Orca then takes the box as focused already and never says its name. That news
// is held back until the focus is told; the screen reader then reads the box, selection and all.
class FocusFirst : public QObject {
public:
    using QObject::QObject;

    static void update(QAccessibleEvent* event)
    {
        if (s_arriving && event->object() == s_arriving) {
            if (event->type() == QAccessible::Focus)
                s_arriving = nullptr;
            else if (event->type() == QAccessible::TextSelectionChanged ||
                     event->type() == QAccessible::TextCaretMoved)
                return;
        }
        if (QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration())
            if (QPlatformAccessibility* bridge = platform->accessibility())
                bridge->notifyAccessibilityUpdate(event);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::FocusIn || !qobject_cast<QLineEdit*>(watched))
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason) {
            s_arriving = watched;
            // The focus is told within the same call that gives it, if at all.
            QTimer::singleShot(0, this, [] { s_arriving = nullptr; });
        }
        return false;
    }

private:
    static inline QPointer<QObject> s_arriving;
};

} // namespace

void tellFocusFirst()
{
    qApp->installEventFilter(new FocusFirst(qApp));
    QAccessible::installUpdateHandler(&FocusFirst::update);
}

void followScreenReader()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland")))
        new ScreenReaderWatch(qApp);
}

void announce(QWidget* widget, const QString& text)
{
    sendDescriptionChange(widget, text);
    // What the screen reader keeps of the description is put back at once, unspoken.
    sendDescriptionChange(widget, widget->accessibleDescription());
}

void setAnnouncedDescription(QWidget* widget, const QString& description)
{
    if (widget->accessibleDescription() == description)
        return;
    widget->setAccessibleDescription(description);
    sendDescriptionChange(widget, description);
}

void installPlainWidgetInterfaces()
{
    QAccessible::installFactory(plainWidgetFactory);
}

void exposeWindow(QWidget* window, QAccessible::Role role)
{
    if (role != QAccessible::Window)
        window->setProperty(roleProperty, int(role));
}

} // namespace corvalo

#include "accessibility.moc"
