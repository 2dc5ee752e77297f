#include "placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace corvalo {

QRect placedWithin(QRect frame, QRect area, qreal ratio)
{
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    // At a fractional ratio, Qt rounds a window's place and size to device pixels apart, which
    // can reach one pixel past the area's edge.
    auto deviceEnd = [ratio](int start, int length) {
        return qRound(start * ratio) + qRound(length * ratio);
    };
    while (frame.left() > area.left() &&
           deviceEnd(frame.left(), frame.width()) > deviceEnd(area.left(), area.width()))
        frame.translate(-1, 0);
    while (frame.top() > area.top() &&
           deviceEnd(frame.top(), frame.height()) > deviceEnd(area.top(), area.height()))
        frame.translate(0, -1);
    frame.moveLeft(std::max(frame.left(), area.left()));
    frame.moveTop(std::max(frame.top(), area.top()));
    return frame;
}

QMargins frameMargins(const QWidget* window)
{
    const QRect f = window->frameGeometry();
    const QRect g = window->geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

void keepOnScreen(QWidget* window, QMargins frameEstimate)
{
    const QRect client = window->geometry();
    const bool moved = window->testAttribute(Qt::WA_Moved);
    QScreen* screen = moved ? QGuiApplication::screenAt(client.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QMargins frame = window->isVisible() ? frameMargins(window) : frameEstimate;
    const QRect area = screen->availableGeometry();
    if (!moved) {
        const QSize fits =
            client.size().boundedTo((area - frame).size()).expandedTo(window->minimumSize());
        if (fits != client.size())
            window->resize(fits);
        return;
    }
    const QRect placed = placedWithin(client + frame, area, screen->devicePixelRatio());
    // Placed by its client area, as designed: the frame is the window manager's to add.
    if (placed != client + frame)
        window->setGeometry(placed - frame);
}

void keepOffTaskbar(QWidget* window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) // not on an X server (the offscreen platform offers the interface too)
        return;
    auto atom = [connection](const char* name) {
        const xcb_intern_atom_cookie_t cookie =
            xcb_intern_atom(connection, false, std::strlen(name), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    };
    // Qt keeps the states it does not set itself when it shows the window.
    const xcb_atom_t states[] = {atom("_NET_WM_STATE_SKIP_TASKBAR"),
                                 atom("_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, xcb_window_t(window->winId()),
                        atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
}

} // namespace corvalo
