// Types into the window that has the keyboard, as a user's keyboard would (XTest): each argument
// is text typed character by character (ASCII), or a key in braces: {Return} {Tab} {space}
// {BackSpace} {Escape} {ctrl+a} {alt+Left}, or {hold+Return}: held down for 1.5 s. With a TITLE other than "-", waits for that window and gives it
// the keyboard first. Exit 0 when typed, 1 when no such window appeared.
//   x11keys TITLE SECONDS KEYS...
#include "X11Find.h"

#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void press(Display *display, KeySym symbol, bool control, bool alt = false)
{
    const KeyCode code = XKeysymToKeycode(display, symbol);
    if (!code) {
        std::fprintf(stderr, "x11keys: no key for 0x%lx\n", symbol);
        return;
    }
    // A character that needs Shift on this keyboard (upper case, ":", "_").
    const bool shift = XkbKeycodeToKeysym(display, code, 0, 0) != symbol;
    const KeyCode shiftKey = XKeysymToKeycode(display, XK_Shift_L);
    const KeyCode controlKey = XKeysymToKeycode(display, XK_Control_L);
    const KeyCode altKey = XKeysymToKeycode(display, XK_Alt_L);
    if (alt)
        XTestFakeKeyEvent(display, altKey, True, CurrentTime);
    if (control)
        XTestFakeKeyEvent(display, controlKey, True, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, shiftKey, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, shiftKey, False, CurrentTime);
    if (control)
        XTestFakeKeyEvent(display, controlKey, False, CurrentTime);
    if (alt)
        XTestFakeKeyEvent(display, altKey, False, CurrentTime);
    XSync(display, False);
    pause(25);
}

// Whether `inner` is `outer` or one of its windows.
bool within(Display *display, Window inner, Window outer)
{
    for (int depth = 0; inner && depth < 64; ++depth) {
        if (inner == outer)
            return true;
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, inner, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root)
            return false;
        inner = parent;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: x11keys TITLE SECONDS KEYS...\n");
        return 2;
    }
    Display *display = x11find::open();
    if (!display) {
        std::fprintf(stderr, "x11keys: no display\n");
        return 2;
    }
    if (std::strcmp(argv[1], "-") != 0) {
        Window window = x11find::waitFor(display, argv[1], std::atoi(argv[2]));
        if (!window) {
            std::fprintf(stderr, "x11keys: no visible window titled \"%s\"\n", argv[1]);
            return 1;
        }
        pause(500); // let the window settle
        // Wine may unmap and map the window again meanwhile: the focus is given until it holds.
        for (int tries = 0; tries < 5; ++tries) {
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
            XSync(display, False);
            pause(200);
            Window focused = 0;
            int revert = 0;
            XGetInputFocus(display, &focused, &revert);
            if (within(display, focused, window))
                break;
            if (const Window again = x11find::waitFor(display, argv[1], 5))
                window = again;
        }
    }
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 2 && arg.front() == '{' && arg.back() == '}') {
            std::string name = arg.substr(1, arg.size() - 2);
            const bool control = name.rfind("ctrl+", 0) == 0;
            if (control)
                name = name.substr(5);
            const bool alt = name.rfind("alt+", 0) == 0;
            if (alt)
                name = name.substr(4);
            const bool hold = name.rfind("hold+", 0) == 0;
            if (hold)
                name = name.substr(5);
            const KeySym symbol = XStringToKeysym(name.c_str());
            if (symbol == NoSymbol) {
                std::fprintf(stderr, "x11keys: no key named %s\n", name.c_str());
                return 2;
            }
            if (hold) {
                // Held down as a finger holds it: the server repeats the key meanwhile.
                const KeyCode code = XKeysymToKeycode(display, symbol);
                XTestFakeKeyEvent(display, code, True, CurrentTime);
                XSync(display, False);
                pause(1500);
                XTestFakeKeyEvent(display, code, False, CurrentTime);
                XSync(display, False);
                pause(25);
                continue;
            }
            press(display, symbol, control, alt);
            continue;
        }
        for (const char c : arg)
            press(display, KeySym(static_cast<unsigned char>(c)), false);
    }
    XCloseDisplay(display);
    return 0;
}
