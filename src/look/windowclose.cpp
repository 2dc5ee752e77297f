#include "windowclose.h"

#include <QEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <utility>

namespace corvalo {

namespace {

// How often a closed window looks whether the loops it waits for have returned.
constexpr auto lookInterval = std::chrono::milliseconds(10);

class CloseGuard : public QObject {
public:
    explicit CloseGuard(QWidget* window) : QObject(window), m_window(window)
    {
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->installEventFilter(this);
        m_look.setInterval(lookInterval);
        connect(&m_look, &QTimer::timeout, this, &CloseGuard::look);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Deleted now, the window would take a menu's objects from under the menu's own loop.
        if (watched == m_window && event->type() == QEvent::Close &&
            m_window->testAttribute(Qt::WA_DeleteOnClose) && closeOwnWindows()) {
            m_window->setAttribute(Qt::WA_DeleteOnClose, false);
            m_closedAt = QThread::currentThread()->loopLevel();
            m_settled = false;
            m_look.start();
        }
        return false;
    }

private:
    // Closes the window's menus and dialogs that are open; false if none was.
    bool closeOwnWindows()
    {
        bool any = false;
        for (QWidget* child : m_window->findChildren<QWidget*>())
            if (child->isWindow() && child->isVisible()) {
                child->close();
                any = true;
            }
        return any;
    }

    // The loop that ran when the window closed has returned once the loop level is below it. At
    // the same level on two looks in a row, it is not one of the window's: the loop of a menu or
    // dialog ends in the turn that closed it, and looks never come twice in one turn.
    void look()
    {
        if (m_window->isVisible()) { // shown again, or its close was refused
            m_look.stop();
            m_window->setAttribute(Qt::WA_DeleteOnClose);
            return;
        }
        const int level = QThread::currentThread()->loopLevel();
        if (closeOwnWindows() || level > m_closedAt) {
            m_settled = false;
            return;
        }
        if (level < m_closedAt || std::exchange(m_settled, true)) {
            m_look.stop();
            m_window->deleteLater();
        }
    }

    QWidget* m_window;
    QTimer m_look;
    int m_closedAt = 0;
    bool m_settled = false;
};

} // namespace

void deleteWhenClosed(QWidget* window)
{
    new CloseGuard(window);
}

} // namespace corvalo
