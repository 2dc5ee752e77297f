#include "accessibility.h"

#include "textboxaccess.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QMenu>
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
    // The name first: objects of other kinds (the web engine's, say) are left untouched.
    const bool ours = className == QLatin1String("QWidget") ||
                      className == QLatin1String("QFrame") ||
                      className == QLatin1String("QLineEdit");
    if (!ours || !object || !object->isWidgetType())
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

} // namespace

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
