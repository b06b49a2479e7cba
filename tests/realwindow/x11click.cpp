// Clicks (by default double-clicks) at a point of a visible top-level window, as a user's mouse
// would (XTest), the clicks 60 ms apart. Exit 0 when clicked, 1 when no such window appeared.
//   x11click TITLE X Y SECONDS [CLICKS]   (X and Y in the window's own pixels)
#include "X11Find.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: x11click TITLE X Y SECONDS [CLICKS]\n");
        return 2;
    }
    Display *display = x11find::open();
    if (!display) {
        std::fprintf(stderr, "x11click: no display\n");
        return 2;
    }
    const Window window = x11find::waitFor(display, argv[1], std::atoi(argv[4]));
    if (!window) {
        std::fprintf(stderr, "x11click: no visible window titled \"%s\"\n", argv[1]);
        return 1;
    }
    pause(500); // let the window settle and paint
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), std::atoi(argv[2]), std::atoi(argv[3]), &x, &y, &child);
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XSync(display, False);
    pause(100);
    const int clicks = argc == 6 ? std::atoi(argv[5]) : 2;
    for (int click = 0; click < clicks; ++click) {
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        pause(30);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        pause(60);
    }
    XCloseDisplay(display);
    std::printf("clicked \"%s\" at %s,%s %d times\n", argv[1], argv[2], argv[3], clicks);
    return 0;
}
