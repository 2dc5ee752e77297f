#include "storelink.h"

#include "plugins.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using corvalo::storeprotocol::Message;

namespace {

// A report of several failures names this many, then counts the rest.
constexpr qsizetype namedFailures = 3;

void closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

// The store program from its start until it is gone, with the folder it was given as its home.
// Its end is seen through a descriptor of the process (or, on a kernel without one, looked for
// now and then), never waited for.
class StoreLink::Process {
public:
    std::function<void(const QByteArray&)> onAnswers;
    std::function<void(int status)> onGone;

    // False with *why set if it could not be started.
    bool start(const QString& program, QString* why);
    ~Process();

    pid_t pid() const { return m_pid; }
    void write(const QByteArray& bytes);
    void closeInput() { closeDescriptor(m_input); }
    void kill()
    {
        m_killed = true;
        ::kill(m_pid, SIGKILL);
    }

private:
    void flush();
    void readAnswers();
    void reap();

    pid_t m_pid = 0;
    bool m_killed = false;
    int m_input = -1;
    int m_answers = -1;
    int m_exit = -1;
    QString m_folder;
    QByteArray m_outgoing;
    std::unique_ptr<QSocketNotifier> m_inputFree;
    std::unique_ptr<QSocketNotifier> m_answersReady;
    std::unique_ptr<QSocketNotifier> m_exited;
    QTimer m_lookForEnd;
};

bool StoreLink::Process::start(const QString& program, QString* why)
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    QTemporaryDir folder(
        QDir(runtime).filePath(QLatin1String(corvalo::storeprotocol::folderPrefix) + "XXXXXX"));
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (!folder.isValid() || pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        *why =
            folder.isValid() ? QString::fromLocal8Bit(std::strerror(errno)) : folder.errorString();
        for (int* fd : {&in[0], &in[1], &out[0], &out[1]})
            closeDescriptor(*fd);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    QByteArray path = QFile::encodeName(program);
    QByteArray home = QFile::encodeName(folder.path());
    char* argv[] = {path.data(), home.data(), nullptr};
    const int error = posix_spawn(&m_pid, path.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    closeDescriptor(in[0]);
    closeDescriptor(out[1]);
    m_input = in[1];
    m_answers = out[0];
    if (error != 0) {
        *why = QString::fromLocal8Bit(std::strerror(error));
        m_pid = 0;
        return false;
    }
    folder.setAutoRemove(false); // from now on it goes when the store program does
    m_folder = folder.path();
    for (int fd : {m_input, m_answers})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    m_inputFree = std::make_unique<QSocketNotifier>(m_input, QSocketNotifier::Write);
    m_inputFree->setEnabled(false);
    QObject::connect(m_inputFree.get(), &QSocketNotifier::activated, [this] { flush(); });
    m_answersReady = std::make_unique<QSocketNotifier>(m_answers, QSocketNotifier::Read);
    QObject::connect(m_answersReady.get(), &QSocketNotifier::activated, [this] { readAnswers(); });
    m_exit = int(syscall(SYS_pidfd_open, m_pid, 0));
    if (m_exit >= 0) {
        m_exited = std::make_unique<QSocketNotifier>(m_exit, QSocketNotifier::Read);
        QObject::connect(m_exited.get(), &QSocketNotifier::activated, [this] { reap(); });
    } else {
        QObject::connect(&m_lookForEnd, &QTimer::timeout, [this] { reap(); });
        m_lookForEnd.start(100);
    }
    return true;
}

// Returns at once: a store program left to end by itself removes its own folder; one that was
// killed cannot touch it any more.
StoreLink::Process::~Process()
{
    m_inputFree.reset();
    m_answersReady.reset();
    m_exited.reset();
    for (int* fd : {&m_input, &m_answers, &m_exit})
        closeDescriptor(*fd);
    if ((m_pid == 0 || m_killed) && !m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

void StoreLink::Process::write(const QByteArray& bytes)
{
    m_outgoing += bytes;
    flush();
}

void StoreLink::Process::flush()
{
    while (!m_outgoing.isEmpty() && m_input >= 0) {
        const ssize_t n = ::write(m_input, m_outgoing.constData(), m_outgoing.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break; // the rest goes when the store program has read what came before
        if (n < 0) // it has gone; its end is noticed on its own
            m_outgoing.clear();
        else
            m_outgoing.remove(0, n);
    }
    if (m_inputFree)
        m_inputFree->setEnabled(!m_outgoing.isEmpty() && m_input >= 0);
}

void StoreLink::Process::readAnswers()
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_answers, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) // it has gone, or soon will
            m_answersReady->setEnabled(false);
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    if (!bytes.isEmpty() && onAnswers)
        onAnswers(bytes);
}

void StoreLink::Process::reap()
{
    int status = 0;
    if (m_pid == 0 || waitpid(m_pid, &status, WNOHANG) != m_pid)
        return;
    m_pid = 0;
    m_lookForEnd.stop();
    if (m_exited)
        m_exited->setEnabled(false);
    QDir(m_folder).removeRecursively(); // set: only a started program is reaped
    if (onGone)
        onGone(status);
}

StoreLink::StoreLink(const corvalo::PluginFinder& finder) : m_finder(finder)
{
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        m_movedOn = m_movedOn || (m_awaited > 0 && window != m_askedFrom);
    });
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(std::chrono::seconds(20));
    connect(&m_startTimer, &QTimer::timeout, this, [this] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        const bool calculatorShown = std::any_of(windows.begin(), windows.end(),
                                                 [](const QWidget* w) { return w->isVisible(); });
        if (m_awaited > 0 && calculatorShown)
            report(QStringLiteral("The store window did not open within %1 seconds, so the store "
                                  "program was stopped.")
                       .arg(std::chrono::duration_cast<std::chrono::seconds>(
                                m_startTimer.intervalAsDuration())
                                .count()));
        drop(Leave::Ended);
    });
}

StoreLink::~StoreLink()
{
    setStarting(false);
    if (m_process && m_process->pid() != 0) {
        if (m_shown)
            m_process->closeInput(); // the store program ends, its window with it
        else
            m_process->kill();
    }
}

bool StoreLink::isOnScreen() const
{
    return (m_process && m_shown) || m_box;
}

qint64 StoreLink::processId() const
{
    return m_process ? m_process->pid() : 0;
}

void StoreLink::open(const QUrl& url)
{
    if (!m_process && !start())
        return;
    send({Message::Show, url, {}});
    ++m_awaited;
    m_movedOn = false;
    m_askedFrom = QGuiApplication::focusWindow();
    qApp->installEventFilter(this);
    setStarting(!m_shown);
    emit changed();
}

void StoreLink::close()
{
    if (m_process)
        send({Message::Close, {}, {}});
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
    auto process = std::make_unique<Process>();
    if (program.isEmpty() || !process->start(program, &why)) {
        report(cannotStart + why);
        return false;
    }
    m_reader = {};
    m_process = std::move(process);
    m_process->onAnswers = [this](const QByteArray& bytes) { readAnswers(bytes); };
    m_process->onGone = [this](int status) { ended(status); };
    m_startTimer.start();
    return true;
}

void StoreLink::readAnswers(const QByteArray& bytes)
{
    QString why;
    const QList<Message> answers = m_reader.feed(bytes, &why);
    for (const Message& answer : answers) {
        if (answer.kind == Message::Opened) {
            m_shown = true;
            m_awaited = qMax(0, m_awaited - 1);
            // The window takes the keyboard only if the user waited for it; otherwise it stays
            // behind the window they went on in.
            if (!m_movedOn)
                send({Message::Front, {}, {}});
            m_startTimer.stop();
            setStarting(false);
        } else if (answer.kind == Message::Closed) {
            // The store program is on its way out: the next press needs a new one.
            return drop(Leave::ToEnd);
        } else if (answer.kind == Message::Failed) {
            m_awaited = qMax(0, m_awaited - 1);
            setStarting(m_awaited > 0 && !m_shown);
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

bool StoreLink::eventFilter(QObject* watched, QEvent* event)
{
    if (m_awaited == 0)
        qApp->removeEventFilter(this);
    else if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress)
        m_movedOn = true;
    return QObject::eventFilter(watched, event);
}

void StoreLink::ended(int status)
{
    // The window was asked for and never came; a store window that was open simply went.
    if (m_awaited > 0 && !m_shown)
        report(QStringLiteral("The store window cannot be opened because the store program ") +
               (WIFSIGNALED(status)
                    ? QStringLiteral("stopped (it crashed or was killed) before showing it.")
                    : QStringLiteral("ended (exit code %1) before showing it.")
                          .arg(WEXITSTATUS(status))));
    drop(Leave::Ended);
}

// Forgets the store program; the next request starts a new one. One still running is killed, or
// left to end by itself once its input is closed; its folder goes when it has gone. Called from
// the process's own notifications, so it is let go of later.
void StoreLink::drop(Leave leave)
{
    if (!m_process)
        return;
    Process* process = m_process.get();
    m_leaving.push_back(std::move(m_process));
    process->onAnswers = nullptr;
    const auto forget = [this, process] {
        QMetaObject::invokeMethod(
            this,
            [this, process] {
                std::erase_if(m_leaving, [process](const auto& p) { return p.get() == process; });
            },
            Qt::QueuedConnection);
    };
    if (process->pid() == 0) {
        forget();
    } else {
        process->onGone = [forget](int) { forget(); };
        if (leave == Leave::Ended)
            process->kill();
        else
            process->closeInput();
    }
    m_startTimer.stop();
    m_awaited = 0;
    m_shown = false;
    setStarting(false);
    emit changed();
}

// While a store program starts, the busy cursor says so on every window, the pressed button too.
void StoreLink::setStarting(bool starting)
{
    if (starting == m_starting)
        return;
    m_starting = starting;
    if (starting)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

// One box for every failure while it is open, as the player's: the first few said, the rest
// counted.
void StoreLink::report(const QString& text)
{
    m_failures.append(text);
    QStringList named;
    for (const QString& failure : std::as_const(m_failures))
        if (named.size() < namedFailures && !named.contains(failure))
            named.append(failure);
    QString shown = named.join(QStringLiteral("\n\n"));
    if (m_failures.size() > named.size())
        shown += QStringLiteral("\n\n…and %1 more.").arg(m_failures.size() - named.size());
    if (m_box) {
        m_box->setText(shown);
        return;
    }
    m_box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), shown, QMessageBox::Ok,
                            QApplication::activeWindow());
    m_box->setAttribute(Qt::WA_DeleteOnClose);
    m_box->setTextFormat(Qt::PlainText);
    connect(m_box, &QObject::destroyed, this, [this] {
        m_failures.clear();
        emit changed();
    });
    m_box->open();
}
