// Where a visible window titled TITLE lies with everything the window manager put around it (title
// bar, borders): "x y width height" of its frame, then the screen's "width height".
//   x11where TITLE SECONDS
#include "X11Find.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: x11where TITLE SECONDS\n");
        return 2;
    }
    Display *display = x11find::open();
    if (!display) {
        std::fprintf(stderr, "x11where: no display\n");
        return 2;
    }
    Window window = x11find::waitFor(display, argv[1], std::atoi(argv[2]));
    if (!window) {
        std::fprintf(stderr, "x11where: no visible window titled \"%s\"\n", argv[1]);
        return 1;
    }
    // Up to the child of the root: the window manager's frame around the page.
    const Window root = DefaultRootWindow(display);
    for (;;) {
        Window unusedRoot = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &unusedRoot, &parent, &children, &count))
            return 1;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            break;
        window = parent;
    }
    XWindowAttributes frame;
    if (!XGetWindowAttributes(display, window, &frame))
        return 1;
    std::printf("%d %d %d %d %d %d\n", frame.x, frame.y, frame.width + 2 * frame.border_width, frame.height + 2 * frame.border_width,
                DisplayWidth(display, DefaultScreen(display)), DisplayHeight(display, DefaultScreen(display)));
    XCloseDisplay(display);
    return 0;
}
