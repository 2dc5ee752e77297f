#include "screenreader.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QLineEdit>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QPointer>
#include <QtCore/private/qobject_p_p.h>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/private/qspiaccessiblebridge_p.h>
#include <QTimer>
#include <QWidget>

namespace corvalo {

namespace {

// Where Qt's bridge puts the objects it exposes, on the accessibility bus it opened.
constexpr QLatin1String accessiblePath("/org/a11y/atspi/accessible");

QDBusConnection accessibilityBus()
{
    return QDBusConnection(QStringLiteral("a11y"));
}

// Qt 6.4 sends a changed description as a reference to the object rather than as the text, and
// Orca 43 fails on it. The change goes out again here as AT-SPI has it: on the accessibility
// bus Qt opened, from the object Qt exposes for the widget.
void sendDescriptionChange(QWidget* widget, const QString& text)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    const QDBusConnection bus = accessibilityBus();
    if (!QAccessible::isActive() || !iface || !bus.isConnected())
        return;
    const QString path =
        QString(accessiblePath) + u'/' + QString::number(QAccessible::uniqueId(iface));
    QDBusMessage change = QDBusMessage::createSignal(
        path, QStringLiteral("org.a11y.atspi.Event.Object"), QStringLiteral("PropertyChange"));
    QDBusArgument root;
    root.beginStructure();
    root << bus.baseService() << QDBusObjectPath(QString(accessiblePath) + QStringLiteral("/root"));
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

constexpr char valueTextProperty[] = "corvalo.valueText";

// Qt 6.4 gives every object an empty set of attributes. A screen reader speaks a value's
// "valuetext" attribute, where there is one, in place of the bare number; that one question is
// answered here, and everything else goes on to Qt's own handler, which this one stands in front
// of on the bus.
class ValueTexts : public QDBusVirtualObject {
public:
    static void standInFront()
    {
        QDBusConnection bus = accessibilityBus();
        QSpiAccessibleBridge* bridge = QSpiAccessibleBridge::instance();
        QObject* registered = bus.objectRegisteredAt(accessiblePath);
        if (!bridge || !registered || dynamic_cast<ValueTexts*>(registered))
            return;
        auto* qt = bridge->findChild<QDBusVirtualObject*>(QString(), Qt::FindDirectChildrenOnly);
        if (!qt || qt != registered)
            return;
        qDBusRegisterMetaType<QMap<QString, QString>>();
        bus.unregisterObject(accessiblePath, QDBusConnection::UnregisterTree);
        if (!bus.registerVirtualObject(accessiblePath, new ValueTexts(qt),
                                       QDBusConnection::SubPath))
            bus.registerVirtualObject(accessiblePath, qt, QDBusConnection::SubPath);
    }

    QString introspect(const QString& path) const override { return m_qt->introspect(path); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.type() == QDBusMessage::MethodCallMessage &&
            message.member() == QLatin1String("GetAttributes") &&
            message.interface() == QLatin1String("org.a11y.atspi.Accessible")) {
            const uint id = message.path().section(u'/', -1).toUInt();
            QAccessibleInterface* iface = id ? QAccessible::accessibleInterface(id) : nullptr;
            const QString text = iface ? valueText(iface->object()) : QString();
            if (!text.isEmpty()) {
                const QMap<QString, QString> attributes{{QStringLiteral("valuetext"), text}};
                return connection.send(message.createReply(QVariant::fromValue(attributes)));
            }
        }
        return m_qt->handleMessage(message, connection);
    }

private:
    explicit ValueTexts(QDBusVirtualObject* qt) : QDBusVirtualObject(qt), m_qt(qt) {}

    QDBusVirtualObject* m_qt;
};

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
        if (QAccessible::isActive())
            QTimer::singleShot(0, this, &ScreenReaderWatch::tellWhereWeAre);
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
        ValueTexts::standInFront();
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
// Values changed quietly are not told at all.
class UpdateFilter : public QObject {
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
        if (event->type() == QAccessible::ValueChanged && event->object() &&
            event->object() == s_quiet)
            return;
        if (QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration())
            if (QPlatformAccessibility* bridge = platform->accessibility())
                bridge->notifyAccessibilityUpdate(event);
    }

    static inline QPointer<QObject> s_quiet;

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

void tidyAnnouncements()
{
    qApp->installEventFilter(new UpdateFilter(qApp));
    QAccessible::installUpdateHandler(&UpdateFilter::update);
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

void setValueText(QWidget* widget, const QString& text)
{
    widget->setProperty(valueTextProperty, text);
}

QString valueText(const QObject* widget)
{
    return widget ? widget->property(valueTextProperty).toString() : QString();
}

void setValueQuietly(QAbstractSlider* slider, int value)
{
    UpdateFilter::s_quiet = slider;
    slider->setValue(value);
    UpdateFilter::s_quiet = nullptr;
}

void setAnnouncedDescription(QWidget* widget, const QString& description)
{
    if (widget->accessibleDescription() == description)
        return;
    widget->setAccessibleDescription(description);
    sendDescriptionChange(widget, description);
}

} // namespace corvalo

#include "screenreader.moc"
