// Waits for a visible top-level window with the given title and asks it to close, as a window
// manager's close box would (WM_DELETE_WINDOW). Exit 0 when asked, 1 when no such window appeared.
//   x11close TITLE SECONDS [--wait]   (--wait: only wait for the window, leave it open)
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

Window findWindow(Display *display, Window root, const char *title)
{
    Window parent = 0;
    Window unusedRoot = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &unusedRoot, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        char *name = nullptr;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable
            && XFetchName(display, children[i], &name) && name) {
            if (std::strcmp(name, title) == 0)
                found = children[i];
        }
        if (name)
            XFree(name);
        if (!found)
            found = findWindow(display, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    const bool waitOnly = argc == 4 && std::strcmp(argv[3], "--wait") == 0;
    if (argc != 3 && !waitOnly) {
        std::fprintf(stderr, "usage: x11close TITLE SECONDS [--wait]\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11close: no display\n");
        return 2;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    Window window = 0;
    while (!(window = findWindow(display, DefaultRootWindow(display), argv[1]))) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "x11close: no visible window titled \"%s\"\n", argv[1]);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (waitOnly) {
        XCloseDisplay(display);
        return 0;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    std::printf("closed \"%s\"\n", argv[1]);
    return 0;
}
