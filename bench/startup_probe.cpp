// Launches a program on the current X display and reports, from the X server's own map events
// (no polling):
//   first_us main_us rss_kib libraries cpu_us
// the time from launch until its first top-level window is mapped, until the window titled TITLE
// is mapped, its resident memory half a second after that, the shared libraries it had mapped
// when its first window appeared, and the processor time its threads had used when the window
// titled TITLE was mapped (which, unlike the times, hardly depends on what else the machine runs).
//   startup_probe TITLE program [arguments...]
#include "mapwatch.h"

#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long microseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(to - from).count();
}

int sharedLibraries(pid_t pid)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::set<std::string> files;
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.find('/');
        if (slash == std::string::npos)
            continue;
        const std::string path = line.substr(slash);
        const std::string name = path.substr(path.rfind('/') + 1);
        const auto so = name.find(".so");
        if (so != std::string::npos && (so + 3 == name.size() || name[so + 3] == '.'))
            files.insert(path);
    }
    return static_cast<int>(files.size());
}

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Time on a processor so far, summed over the live threads.
long long cpuMicroseconds(pid_t pid)
{
    long long nanoseconds = 0;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        long long running = 0;
        if (schedstat >> running)
            nanoseconds += running;
    }
    return nanoseconds / 1000;
}

std::string windowTitle(xcb_connection_t* x, xcb_window_t window)
{
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(
            x, xcb_get_property(x, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
            nullptr),
        &std::free);
    if (!reply)
        return {};
    return {static_cast<const char*>(xcb_get_property_value(reply.get())),
            static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TITLE program [arguments...]\n", argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    xcb_window_t root = 0;
    xcb_connection_t* x = watchMaps("startup_probe", &root);
    if (!x)
        return 2;

    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }

    Clock::time_point first{}, main{};
    int libraries = -1;
    long long cpu = -1;
    const Clock::time_point deadline = start + std::chrono::seconds(60);
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (main == Clock::time_point{}) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "startup_probe: %s ended before its window appeared\n", argv[2]);
            return 1;
        }
        if (Clock::now() > deadline || xcb_connection_has_error(x)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            std::fprintf(stderr, "startup_probe: no window titled \"%s\"\n", title.c_str());
            return 1;
        }
        xcb_generic_event_t* event = xcb_poll_for_event(x);
        if (!event) {
            poll(&fd, 1, 100);
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
            const Clock::time_point now = Clock::now();
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (first == Clock::time_point{}) {
                first = now;
                libraries = sharedLibraries(pid);
            }
            if (windowTitle(x, map->window) == title) {
                main = now;
                cpu = cpuMicroseconds(pid);
            }
        }
        std::free(event);
    }

    std::this_thread::sleep_until(main + std::chrono::milliseconds(500));
    const long rss = residentKiB(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    xcb_disconnect(x);
    std::printf("%lld %lld %ld %d %lld\n", microseconds(start, first), microseconds(start, main),
                rss, libraries, cpu);
    return 0;
}
