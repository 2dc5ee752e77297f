#include "storeprogram.h"

#include "look/placement.h"
#include "look/windowclose.h"
#include "store/storewindow.h"

#include <QStyle>
#include <QUrl>

#include <cerrno>
#include <unistd.h>

using corvalo::storeprotocol::Message;

StoreProgram::StoreProgram(int input, int output, QObject* parent)
    : QObject(parent), m_input(input), m_output(output), m_notifier(input, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &StoreProgram::readRequests);
}

StoreProgram::~StoreProgram()
{
    m_done = true;
    delete m_window; // before the application, which the web engine needs to shut down
}

void StoreProgram::readRequests()
{
    char bytes[4096];
    const ssize_t count = ::read(m_input, bytes, sizeof bytes);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) // the calculator has gone: nothing is left to show the store for
        return end();
    QString why;
    const QList<Message> requests = m_reader.feed(QByteArray(bytes, count), &why);
    for (const Message& request : requests)
        if (!m_done)
            carryOut(request);
    if (!why.isEmpty() && !m_done) {
        fail(why);
        end();
    }
}

void StoreProgram::end()
{
    m_notifier.setEnabled(false);
    m_done = true;
    emit finished();
}

void StoreProgram::carryOut(const Message& request)
{
    switch (request.kind) {
    case Message::Show:
        showWindow(request.url);
        break;
    case Message::Front:
        if (m_window) {
            if (m_window->isMinimized())
                m_window->showNormal();
            m_window->raise();
            m_window->activateWindow();
        }
        break;
    case Message::Close:
        if (m_window)
            m_window->close();
        break;
    default:
        fail(QStringLiteral("The store program takes requests, not answers."));
        end();
    }
}

void StoreProgram::showWindow(const QUrl& url)
{
    if (url.isRelative()) {
        fail(QStringLiteral("The store page cannot be opened: \"%1\" is not a valid web address.")
                 .arg(url.toString()));
        if (!m_window)
            end();
        return;
    }
    if (!m_window) {
        m_window = new Form1;
        corvalo::deleteWhenClosed(m_window);
        // The calculator says when it may take the keyboard: the user may have gone on working
        // while this program started.
        m_window->setAttribute(Qt::WA_ShowWithoutActivating);
        // Its frame is not known before it is shown; a title bar and thin borders are the guess.
        const int border = m_window->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        const int title = m_window->style()->pixelMetric(QStyle::PM_TitleBarHeight);
        corvalo::keepOnScreen(m_window, QMargins(border, title, border, border));
        // Closing the store window through its frame ends the store program, which gives back
        // all that the web engine took.
        connect(m_window, &QObject::destroyed, this, [this] {
            if (m_done)
                return;
            answer({Message::Closed, {}, {}});
            end();
        });
    }
    m_window->show();
    m_window->navigate(url);
    answer({Message::Opened, {}, {}});
}

void StoreProgram::fail(const QString& reason)
{
    answer({Message::Failed, {}, reason});
}

void StoreProgram::answer(const Message& message)
{
    const QByteArray line = corvalo::storeprotocol::encode(message);
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t n = ::write(m_output, line.constData() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // nobody is listening any more; the closed pipe ends the program
        written += n;
    }
}
