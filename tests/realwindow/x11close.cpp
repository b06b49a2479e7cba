// Waits for a visible top-level window with the given title and asks it to close, as a window
// manager's close box would (WM_DELETE_WINDOW). Exit 0 when asked, 1 when no such window appeared.
//   x11close TITLE SECONDS [--wait]   (--wait: only wait for the window, leave it open)
#include "X11Find.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    const bool waitOnly = argc == 4 && std::strcmp(argv[3], "--wait") == 0;
    if (argc != 3 && !waitOnly) {
        std::fprintf(stderr, "usage: x11close TITLE SECONDS [--wait]\n");
        return 2;
    }
    Display *display = x11find::open();
    if (!display) {
        std::fprintf(stderr, "x11close: no display\n");
        return 2;
    }
    const Window window = x11find::waitFor(display, argv[1], std::atoi(argv[2]));
    if (!window) {
        std::fprintf(stderr, "x11close: no visible window titled \"%s\"\n", argv[1]);
        return 1;
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
