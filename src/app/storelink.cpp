#include "storelink.h"

#include "plugins.h"

#include <QApplication>
#include <QMessageBox>

using corvalo::storeprotocol::Message;

StoreLink::StoreLink(const corvalo::PluginFinder& finder) : m_finder(finder) {}

StoreLink::~StoreLink()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    close();
    m_process->closeWriteChannel(); // a store program still starting ends on the closed pipe
    if (!m_process->waitForFinished(3000))
        m_process->kill();
}

bool StoreLink::isOnScreen() const
{
    return (m_process && (m_awaited > 0 || m_window != 0)) || m_reports > 0;
}

void StoreLink::open(const QUrl& url)
{
    if (!m_process && !start())
        return;
    send({Message::Show, url, 0, {}});
    ++m_awaited;
    emit changed();
}

void StoreLink::close()
{
    if (m_process)
        send({Message::Close, {}, 0, {}});
}

void StoreLink::send(const Message& message)
{
    m_process->write(corvalo::storeprotocol::encode(message));
}

bool StoreLink::start()
{
    const QString cannotStart = QStringLiteral("The store window cannot be opened because the "
                                               "store program could not be started.\n\n");
    QString why;
    const QString program = m_finder.program(QStringLiteral("corvalo-store"), &why);
    if (program.isEmpty()) {
        report(cannotStart + why);
        return false;
    }
    m_reader = {};
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel); // its messages are ours
    connect(m_process, &QProcess::readyReadStandardOutput, this, &StoreLink::readAnswers);
    connect(m_process, &QProcess::finished, this, &StoreLink::ended);
    connect(m_process, &QProcess::errorOccurred, this,
            [this, cannotStart](QProcess::ProcessError e) {
                if (e != QProcess::FailedToStart)
                    return;
                report(cannotStart + m_process->errorString());
                drop(Leave::Ended);
            });
    m_process->start(program, {});
    return m_process; // dropped already if it failed at once
}

void StoreLink::readAnswers()
{
    QString why;
    const QList<Message> answers = m_reader.feed(m_process->readAllStandardOutput(), &why);
    for (const Message& answer : answers) {
        if (answer.kind == Message::Opened) {
            m_window = answer.window;
            m_awaited = qMax(0, m_awaited - 1);
        } else if (answer.kind == Message::Closed) {
            // The store program is on its way out: the next press needs a new one.
            return drop(Leave::ToEnd);
        } else if (answer.kind == Message::Failed) {
            m_awaited = qMax(0, m_awaited - 1);
            report(answer.reason);
        } else {
            why = QStringLiteral("It sent a request instead of an answer.");
            break;
        }
    }
    if (why.isEmpty()) {
        emit changed();
        return;
    }
    // A store program that talks nonsense cannot be trusted with its window.
    report(QStringLiteral("The store program was stopped: Corvalo does not understand what it "
                          "said.\n\n") +
           why);
    drop(Leave::Ended);
}

void StoreLink::ended(int exitCode, QProcess::ExitStatus status)
{
    // The window was asked for and never came; a store window that was open simply went.
    if (m_awaited > 0 && m_window == 0)
        report(QStringLiteral("The store window cannot be opened because the store program ") +
               (status == QProcess::CrashExit
                    ? QStringLiteral("stopped (it crashed or was killed) before showing it.")
                    : QStringLiteral("ended (exit code %1) before showing it.").arg(exitCode)));
    drop(Leave::Ended);
}

// Forgets the store program; the next request starts a new one. One still running is ended, or
// left to end by itself once its pipe is closed.
void StoreLink::drop(Leave leave)
{
    QProcess* process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
    } else if (leave == Leave::Ended) {
        process->kill();
        process->waitForFinished();
        process->deleteLater();
    } else {
        process->closeWriteChannel();
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
    }
    m_awaited = 0;
    m_window = 0;
    emit changed();
}

void StoreLink::report(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text,
                                QMessageBox::Ok, QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    ++m_reports;
    connect(box, &QObject::destroyed, this, [this] {
        --m_reports;
        emit changed();
    });
    box->open();
}
