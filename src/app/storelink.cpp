#include "storelink.h"

#include "plugins.h"
#include "store/storefolder.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using corvalo::storeprotocol::Message;
using corvalo::storeprotocol::StoreFolder;
using namespace std::chrono_literals;

namespace {

void closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// As the calculator ends, how long a store program has to end by itself once its input closed,
// and then once it was asked to (SIGTERM), before it is killed.
constexpr std::chrono::milliseconds graceAfterInput = 1s;
constexpr std::chrono::milliseconds graceAfterTerm = 1s;
constexpr std::chrono::milliseconds graceAfterKill = 5s;

// Below, only what a process forked from a threaded one may do: system calls, no allocation.

std::chrono::nanoseconds monotonicNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

template <class Ended> void waitUntil(Ended ended, std::chrono::milliseconds longest)
{
    const auto deadline = monotonicNow() + longest;
    const timespec step{0, 20'000'000};
    while (!ended() && monotonicNow() < deadline)
        nanosleep(&step, nullptr);
}

// Closes every descriptor but standard input, output and error and those kept (sorted).
void closeAllBut(const int* kept, std::size_t count)
{
    unsigned from = 3;
    for (std::size_t i = 0; i <= count; ++i) {
        const unsigned to = i < count ? unsigned(kept[i]) : ~0U;
        if (to > from && syscall(SYS_close_range, from, to - 1, 0) != 0)
            for (unsigned fd = from; fd < std::min(to, 65536U); ++fd)
                ::close(int(fd));
        from = std::max(from, to + 1);
    }
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
    // Ends it with its helpers, which share its process group.
    void kill() const { sendSignal(SIGKILL); }

    // Leaves the store programs still running to a process of their own, so that this one can
    // end at once; see ~StoreLink.
    static void watchOut(const std::vector<const Process*>& running);

private:
    void flush();
    void readAnswers();
    void reap();
    bool hasEnded() const;
    void sendSignal(int number) const;

    pid_t m_pid = 0;
    int m_input = -1;
    int m_answers = -1;
    int m_exit = -1;
    StoreFolder m_folder;
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
    QByteArray home = QFile::encodeName(folder.path());
    m_folder = StoreFolder(home.constData());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // A process group of its own, which its web engine's helpers join.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    QByteArray path = QFile::encodeName(program);
    char* argv[] = {path.data(), home.data(), nullptr};
    const int error = posix_spawn(&m_pid, path.constData(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
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

// Returns at once: its folder went when it did, or goes with the watch that ~StoreLink leaves.
StoreLink::Process::~Process()
{
    m_inputFree.reset();
    m_answersReady.reset();
    m_exited.reset();
    for (int* fd : {&m_input, &m_answers, &m_exit})
        closeDescriptor(*fd);
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
    m_folder.remove();
    if (onGone)
        onGone(status);
}

bool StoreLink::Process::hasEnded() const
{
    pollfd end{m_exit, POLLIN, 0};
    if (m_exit >= 0)
        return poll(&end, 1, 0) == 1;
    return ::kill(m_pid, 0) != 0 && errno == ESRCH;
}

// To its whole process group; SIGKILL through its descriptor first, which cannot reach another
// process that took its number.
void StoreLink::Process::sendSignal(int number) const
{
    if (m_pid <= 0) // never to this program's own group
        return;
    if (number == SIGKILL && m_exit >= 0)
        syscall(SYS_pidfd_send_signal, m_exit, SIGKILL, nullptr, 0);
    ::kill(-m_pid, number);
}

// A watcher, forked twice so that it is nobody's child here, waits for the store programs to
// end, ends those that do not (SIGTERM, then SIGKILL), and removes their folders. Only this
// thread goes on in it, so it keeps to system calls.
void StoreLink::Process::watchOut(const std::vector<const Process*>& running)
{
    std::vector<int> kept;
    for (const Process* process : running)
        kept.insert(kept.end(), {process->m_exit, process->m_folder.parentDescriptor()});
    std::erase_if(kept, [](int fd) { return fd < 3; });
    std::sort(kept.begin(), kept.end());
    std::vector<char> toEnd(running.size()); // made here: the watcher allocates nothing
    const auto allEnded = [&running] {
        return std::all_of(running.begin(), running.end(),
                           [](const Process* p) { return p->hasEnded(); });
    };
    const pid_t middle = fork();
    if (middle < 0) { // no watcher: they go at once
        for (const Process* process : running)
            process->kill();
        return;
    }
    if (middle == 0) {
        if (_Fork() == 0) { // fork() would run handlers meant for the threads left behind
            closeAllBut(kept.data(), kept.size());
            waitUntil(allEnded, graceAfterInput);
            for (std::size_t i = 0; i < running.size(); ++i)
                if ((toEnd[i] = !running[i]->hasEnded())) {
                    running[i]->sendSignal(SIGTERM);
                    running[i]->sendSignal(SIGCONT); // a stopped one ends too
                }
            waitUntil(allEnded, graceAfterTerm);
            for (std::size_t i = 0; i < running.size(); ++i)
                if (toEnd[i])
                    running[i]->sendSignal(SIGKILL); // its helpers too, if it went alone
            waitUntil(allEnded, graceAfterKill);
            for (const Process* process : running)
                process->m_folder.remove();
        }
        _exit(0);
    }
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
}

StoreLink::StoreLink(const corvalo::PluginFinder& finder)
    : m_finder(finder), m_failures([](qsizetype count, const QString&) {
          return QStringLiteral("%1 problems with the store window:").arg(count);
      })
{
    connect(&m_failures, &corvalo::FailureBox::closed, this, &StoreLink::changed);
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
    std::vector<const Process*> running;
    if (m_process && m_process->pid() != 0)
        running.push_back(m_process.get());
    for (const auto& process : m_leaving)
        if (process->pid() != 0)
            running.push_back(process.get());
    if (!running.empty())
        Process::watchOut(running);
}

bool StoreLink::isOnScreen() const
{
    return (m_process && m_shown) || m_failures.isOpen();
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

// One box for every failure while it is open, as the player's.
void StoreLink::report(const QString& text)
{
    m_failures.add({{text, {}, {}}}, QApplication::activeWindow());
}
