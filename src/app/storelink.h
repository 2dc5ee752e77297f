#pragma once

#include "look/failurebox.h"
#include "store/storeprotocol.h"

#include <QObject>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <memory>
#include <vector>

namespace corvalo {
class PluginFinder;
}

// The store window as the calculator sees it: the window of the store program (corvalo-store),
// which is started on the first request with a private folder the link makes, and spoken to over
// two pipes (store/storeprotocol.h), so that the web engine never loads into the calculator.
// Nothing here waits for the store program: its end is noticed when it comes, and then its folder
// is removed. When the window is asked for and does not come, one "Error" box says why; the next
// request starts a new store program.
class StoreLink : public QObject {
    Q_OBJECT
public:
    class Process; // one store program, from its start until it is gone

    explicit StoreLink(const corvalo::PluginFinder& finder);
    // Closes the store program's input, which ends it and its window, and returns at once. One
    // that has not shown its window yet is killed; one that does not end within a second is ended
    // by a watcher process, helpers and all, and its folder removed.
    ~StoreLink() override;

    // Shows the store window, brought to the front if it is open, and has it load the page. The
    // window takes the keyboard only if the user has not gone on working in the meantime.
    void open(const QUrl& url);
    // Closes the store window as its close box does.
    void close();

    // The store window is on the screen, or an error box about it is open. A store program still
    // starting does not count: a calculator window must be open for it.
    bool isOnScreen() const;
    bool isShown() const { return m_shown; }
    // Asked for, and the store program has not shown it yet.
    bool isStarting() const { return m_starting; }
    // The running store program (0 if none).
    qint64 processId() const;
    // How long a store program may take to show its window before it is ended.
    void setStartTimeout(std::chrono::milliseconds timeout) { m_startTimer.setInterval(timeout); }

signals:
    void changed(); // isOnScreen() may have changed

protected:
    // Notes a key or button the user presses while the window is asked for.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool start();
    void send(const corvalo::storeprotocol::Message& message);
    void readAnswers(const QByteArray& bytes);
    void ended(int status);
    enum class Leave { Ended, ToEnd };
    void drop(Leave leave);
    void setStarting(bool starting);
    void report(const QString& text);

    const corvalo::PluginFinder& m_finder;
    std::unique_ptr<Process> m_process;
    // Store programs dropped but not gone yet, whose folders go when they do.
    std::vector<std::unique_ptr<Process>> m_leaving;
    corvalo::storeprotocol::Reader m_reader;
    int m_awaited = 0; // requests to show the window not answered yet
    // Since the last request: the user pressed a key or a button, or went to another window.
    bool m_movedOn = false;
    QPointer<QWindow> m_askedFrom;
    bool m_shown = false;
    bool m_starting = false;
    QTimer m_startTimer;
    corvalo::FailureBox m_failures;
};
