#pragma once

#include "splash/storeprotocol.h"

#include <QObject>
#include <QProcess>

namespace corvalo {
class PluginFinder;
}

// The store window as the calculator sees it: the window of the store program (corvalo-store),
// which is started on the first request and spoken to over its standard input and output, so
// that the web engine never loads into the calculator. When the window is asked for and never
// comes, an "Error" box says why; the next request starts a new store program.
class StoreLink : public QObject {
    Q_OBJECT
public:
    explicit StoreLink(const corvalo::PluginFinder& finder);
    // Ends the store program, its window with it.
    ~StoreLink() override;

    // Shows the store window, brought to the front if it is open, and has it load the page.
    void open(const QUrl& url);
    // Closes the store window as its close box does.
    void close();

    // The store window is on the screen or on its way there, or an error box about it is open.
    bool isOnScreen() const;
    // The running store program (0 if none) and its window (0 until shown).
    qint64 processId() const { return m_process ? m_process->processId() : 0; }
    quint64 windowId() const { return m_window; }

signals:
    void changed(); // isOnScreen() may have changed

private:
    bool start();
    void send(const corvalo::storeprotocol::Message& message);
    void readAnswers();
    void ended(int exitCode, QProcess::ExitStatus status);
    enum class Leave { Ended, ToEnd };
    void drop(Leave leave);
    void report(const QString& text);

    const corvalo::PluginFinder& m_finder;
    QProcess* m_process = nullptr;
    corvalo::storeprotocol::Reader m_reader;
    int m_awaited = 0;    // requests to show the window not answered yet
    quint64 m_window = 0; // the shown window, as the store program names it
    int m_reports = 0;    // error boxes open
};
