#pragma once

// Finding a visible top-level window by its title, for the real-window helpers. The title is read
// from _NET_WM_NAME (UTF-8, as Qt and Wine write Japanese titles) and else from WM_NAME.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace x11find {

// Windows come and go while the tree is walked (Wine makes and destroys many): a window that
// vanished between listing and asking is not an error, and Xlib's default handler would end the
// helper for it. Any other error is reported and ends the helper, as before.
inline int tolerateVanishedWindows(Display *display, XErrorEvent *error)
{
    // BadMatch: a window found viewable was unmapped before the focus reached it (Wine remaps a
    // window as a dialog closes); the caller tries again.
    if (error->error_code == BadWindow || error->error_code == BadDrawable || error->error_code == BadMatch)
        return 0;
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "X error: %s (request %d)\n", text, int(error->request_code));
    std::exit(1);
}

// The display with the tolerant error handler installed; nullptr when there is none.
inline Display *open()
{
    XSetErrorHandler(tolerateVanishedWindows);
    return XOpenDisplay(nullptr);
}

inline std::string titleOf(Display *display, Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(display, "UTF8_STRING", False), &type, &format, &count, &after, &data)
            == Success
        && data && format == 8) {
        title.assign(reinterpret_cast<char *>(data), count);
    }
    if (data)
        XFree(data);
    char *name = nullptr;
    if (title.empty() && XFetchName(display, window, &name) && name)
        title = name;
    if (name)
        XFree(name);
    return title;
}

inline Window find(Display *display, Window root, const char *title)
{
    Window unusedRoot = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &unusedRoot, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable
            && titleOf(display, children[i]) == title)
            found = children[i];
        if (!found)
            found = find(display, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

// Waits up to `seconds` for the window; 0 when it did not appear.
inline Window waitFor(Display *display, const char *title, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (const Window window = find(display, DefaultRootWindow(display), title))
            return window;
        if (std::chrono::steady_clock::now() > deadline)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace x11find
