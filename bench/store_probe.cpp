// Starts Corvalo on the current X display (no window manager), presses the splash card's store
// button as a user would (xdotool) and reports, from the X server's own map events:
//   click_us pss_before_kib pss_open_kib pss_closed_kib
// the time from the click until the store window is mapped, and the proportional set size of
// the program and every process it started (the store program, the web engine's helpers):
// settled before the click, settled with the store open, and settled after the store window was
// closed through its frame (WM_DELETE_WINDOW, as a close box sends it).
//   store_probe SETTLE_MS program [arguments...]
#include "mapwatch.h"

#include <xcb/xcb.h>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr char storeTitle[] = "Snowdrift Gift Store";

// The program and all its descendants, from each process's parent in /proc.
std::vector<pid_t> processTree(pid_t root)
{
    std::multimap<pid_t, pid_t> children;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        const pid_t pid = std::atoi(entry->d_name);
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        if (pid <= 0 || !std::getline(stat, line))
            continue;
        const auto close = line.rfind(')'); // the name may hold spaces and parentheses
        char state = 0;
        int parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2)
            children.emplace(parent, pid);
    }
    if (proc)
        closedir(proc);
    std::vector<pid_t> tree{root};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const auto [from, to] = children.equal_range(tree[i]);
        for (auto it = from; it != to; ++it)
            tree.push_back(it->second);
    }
    return tree;
}

long pssKiB(pid_t root)
{
    long total = 0;
    for (pid_t pid : processTree(root)) {
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        for (std::string line; std::getline(rollup, line);)
            if (line.rfind("Pss:", 0) == 0)
                total += std::strtol(line.c_str() + 4, nullptr, 10);
    }
    return total;
}

std::string property(xcb_connection_t* x, xcb_window_t window, xcb_atom_t atom)
{
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(
            x, xcb_get_property(x, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr),
        &std::free);
    if (!reply)
        return {};
    return {static_cast<const char*>(xcb_get_property_value(reply.get())),
            static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
}

xcb_atom_t atom(xcb_connection_t* x, const char* name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool sizeIs(xcb_connection_t* x, xcb_window_t window, int width, int height)
{
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr), &std::free);
    return geometry && geometry->width == width && geometry->height == height;
}

// The mapped top-level window of that title. The first window mapped with the store's title can
// be a short-lived one: Qt builds the window anew once the web view needs OpenGL.
xcb_window_t mappedWindow(xcb_connection_t* x, xcb_window_t root, const std::string& title)
{
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr), &std::free);
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, children[i]), nullptr),
            &std::free);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            property(x, children[i], XCB_ATOM_WM_NAME) == title)
            return children[i];
    }
    return XCB_WINDOW_NONE;
}

// Waits for the next map (or, with unmapped, unmap) of a top-level window the test accepts.
template <class Accept>
xcb_window_t waitForMap(xcb_connection_t* x, Accept accept, bool unmapped = false)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (Clock::now() < deadline && !xcb_connection_has_error(x)) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(x),
                                                                         &std::free);
        if (!event) {
            poll(&fd, 1, 100);
            continue;
        }
        const int type = event->response_type & 0x7F;
        if (!unmapped && type == XCB_MAP_NOTIFY) {
            const auto window = reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window;
            if (accept(window))
                return window;
        }
        if (unmapped && type == XCB_UNMAP_NOTIFY) {
            const auto window = reinterpret_cast<xcb_unmap_notify_event_t*>(event.get())->window;
            if (accept(window))
                return window;
        }
    }
    return XCB_WINDOW_NONE;
}

int run(const char* what, const char* command)
{
    const int status = std::system(command);
    if (status != 0)
        std::fprintf(stderr, "store_probe: %s failed: %s\n", what, command);
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SETTLE_MS program [arguments...]\n", argv[0]);
        return 2;
    }
    const auto settle = std::chrono::milliseconds(std::atoi(argv[1]));
    xcb_window_t root = 0;
    xcb_connection_t* x = watchMaps("store_probe", &root);
    if (!x)
        return 2;

    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    auto fail = [&](const char* why) {
        std::fprintf(stderr, "store_probe: %s\n", why);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return 1;
    };

    // The splash card: the one window of the program's kind without a title, 492 x 283.
    const xcb_window_t splash =
        waitForMap(x, [&](xcb_window_t w) { return sizeIs(x, w, 492, 283); });
    if (splash == XCB_WINDOW_NONE)
        return fail("no splash card");
    std::this_thread::sleep_for(settle);
    const long before = pssKiB(pid);

    // The button lies at 112,8 in the frame at 8,8, 249 x 25.
    const std::string click =
        "xdotool mousemove --window " + std::to_string(splash) + " 244 28 click 1";
    const Clock::time_point clicked = Clock::now();
    if (run("the click", click.c_str()) != 0)
        return fail("cannot click");
    if (waitForMap(x, [&](xcb_window_t w) {
            return property(x, w, XCB_ATOM_WM_NAME) == storeTitle;
        }) == XCB_WINDOW_NONE)
        return fail("no store window");
    const Clock::time_point shown = Clock::now();
    std::this_thread::sleep_for(settle);
    const long open = pssKiB(pid);
    const xcb_window_t store = mappedWindow(x, root, storeTitle);
    if (store == XCB_WINDOW_NONE)
        return fail("the store window went");

    // Through its frame: the window manager's close box sends WM_DELETE_WINDOW.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = store;
    message.type = atom(x, "WM_PROTOCOLS");
    message.data.data32[0] = atom(x, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x, 0, store, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(x);
    if (waitForMap(
            x, [&](xcb_window_t w) { return w == store; }, true) == XCB_WINDOW_NONE)
        return fail("the store window did not close");
    std::this_thread::sleep_for(settle);
    const long closed = pssKiB(pid);

    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    xcb_disconnect(x);
    std::printf("%lld %ld %ld %ld\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::microseconds>(shown - clicked).count()),
                before, open, closed);
    return 0;
}
