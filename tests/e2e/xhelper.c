/*
 * Small X11 helper for driving and measuring the program on a bare X server
 * (Xvfb, no window manager).
 *
 *   xhelper find TITLE [TIMEOUT_MS]   wait for a mapped top-level window whose
 *                                     title is exactly TITLE; print
 *                                     "ID X Y WIDTH HEIGHT" (root coordinates)
 *   xhelper gone TITLE [TIMEOUT_MS]   wait until no mapped window has that title
 *   xhelper close ID                  ask the window to close the way a window
 *                                     manager's close box does: a WM_PROTOCOLS
 *                                     client message carrying WM_DELETE_WINDOW
 *   xhelper watchmap TITLE            print "ready", then wait for a window with
 *                                     that title to be mapped and print the
 *                                     CLOCK_MONOTONIC time of the MapNotify
 *   xhelper list                      print every mapped top-level window
 *
 * Titles are compared byte for byte against _NET_WM_NAME (UTF-8), falling back
 * to WM_NAME. Exit status 0 on success, 1 on a timeout, 2 on bad usage.
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display* dpy;
static Atom netWmName, utf8String, wmProtocols, wmDeleteWindow;

static double monotonicNow(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static void sleepMs(long ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, NULL);
}

/* Windows vanish between listing and asking; their errors are expected. */
static int ignoreErrors(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;
}

/* The window's title as a malloc'd string, or NULL. */
static char* windowTitle(Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(dpy, w, netWmName, 0, 4096, False, utf8String, &type, &format,
                           &count, &after, &data) == Success &&
        data != NULL && type == utf8String) {
        char* title = strndup((const char*)data, count);
        XFree(data);
        return title;
    }
    if (data) XFree(data);
    char* name = NULL;
    if (XFetchName(dpy, w, &name) && name) {
        char* title = strdup(name);
        XFree(name);
        return title;
    }
    return NULL;
}

static int isMapped(Window w, XWindowAttributes* attrs) {
    return XGetWindowAttributes(dpy, w, attrs) && attrs->map_state == IsViewable;
}

/* The first mapped child of the root with this title, or None. */
static Window findWindow(const char* title, XWindowAttributes* attrs) {
    Window root, parent, *children = NULL;
    unsigned int n = 0;
    Window found = None;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) return None;
    for (unsigned int i = n; i-- > 0 && found == None;) {  /* topmost first */
        XWindowAttributes a;
        if (!isMapped(children[i], &a)) continue;
        char* t = windowTitle(children[i]);
        if (t && strcmp(t, title) == 0) {
            found = children[i];
            *attrs = a;
        }
        free(t);
    }
    if (children) XFree(children);
    return found;
}

static int cmdFind(const char* title, long timeoutMs, int wantGone) {
    double deadline = monotonicNow() + timeoutMs / 1000.0;
    for (;;) {
        XWindowAttributes a;
        memset(&a, 0, sizeof a);
        Window w = findWindow(title, &a);
        if (!wantGone && w != None) {
            printf("%lu %d %d %d %d\n", (unsigned long)w, a.x + a.border_width,
                   a.y + a.border_width, a.width, a.height);
            return 0;
        }
        if (wantGone && w == None) return 0;
        if (monotonicNow() > deadline) return 1;
        sleepMs(20);
    }
}

static int cmdClose(Window w) {
    XEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = wmProtocols;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)wmDeleteWindow;
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &ev);
    XSync(dpy, False);
    return 0;
}

static int cmdWatchMap(const char* title) {
    Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        double when = monotonicNow();
        Window w = None;
        if (ev.type == MapNotify && ev.xmap.event == root) w = ev.xmap.window;
        if (ev.type == PropertyNotify && ev.xproperty.state == PropertyNewValue) {
            /* A window mapped before its title was set: match once it is. */
            XWindowAttributes a;
            if (isMapped(ev.xproperty.window, &a)) w = ev.xproperty.window;
        }
        if (w == None) continue;
        char* t = windowTitle(w);
        int match = t && strcmp(t, title) == 0;
        free(t);
        if (match) {
            printf("%.6f\n", when);
            return 0;
        }
        if (ev.type == MapNotify) XSelectInput(dpy, w, PropertyChangeMask);
    }
}

static int cmdList(void) {
    Window root, parent, *children = NULL;
    unsigned int n = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n);
    for (unsigned int i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (!isMapped(children[i], &a)) continue;
        char* t = windowTitle(children[i]);
        printf("%lu %d %d %d %d %s\n", (unsigned long)children[i], a.x, a.y, a.width, a.height,
               t ? t : "");
        free(t);
    }
    if (children) XFree(children);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: xhelper find|gone|close|watchmap|list ...\n");
        return 2;
    }
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "xhelper: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
    utf8String = XInternAtom(dpy, "UTF8_STRING", False);
    wmProtocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    wmDeleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);

    const char* cmd = argv[1];
    long timeoutMs = argc > 3 ? atol(argv[3]) : 10000;
    if (strcmp(cmd, "find") == 0 && argc >= 3) return cmdFind(argv[2], timeoutMs, 0);
    if (strcmp(cmd, "gone") == 0 && argc >= 3) return cmdFind(argv[2], timeoutMs, 1);
    if (strcmp(cmd, "close") == 0 && argc >= 3) return cmdClose((Window)strtoul(argv[2], NULL, 0));
    if (strcmp(cmd, "watchmap") == 0 && argc >= 3) return cmdWatchMap(argv[2]);
    if (strcmp(cmd, "list") == 0) return cmdList();
    fprintf(stderr, "xhelper: bad arguments\n");
    return 2;
}
