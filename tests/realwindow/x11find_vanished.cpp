// The window finder survives windows that vanish while it walks the tree: it is asked about a
// window that no longer exists and must answer "not found" instead of ending on BadWindow.
#include "X11Find.h"

#include <cstdio>

int main()
{
    Display *display = x11find::open();
    if (!display) {
        std::fprintf(stderr, "x11find_vanished: no display\n");
        return 2;
    }
    const Window gone = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XMapWindow(display, gone);
    XSync(display, False);
    XDestroyWindow(display, gone);
    XSync(display, False);
    const Window found = x11find::find(display, gone, "Velloran");
    const std::string title = x11find::titleOf(display, gone);
    XCloseDisplay(display);
    if (found != 0 || !title.empty()) {
        std::fprintf(stderr, "x11find_vanished: a destroyed window was found\n");
        return 1;
    }
    std::printf("a vanished window is skipped\n");
    return 0;
}
