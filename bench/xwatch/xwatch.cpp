// Prints the map, unmap and move/resize events of the top-level windows of an X
// display, each with a microsecond CLOCK_REALTIME stamp, for the benchmarks.
//
//   xwatch [--pid PID]
//
// One line per event, fields separated by tabs:
//   <us> <MAP|UNMAP|CONF> <window> <x> <y> <w> <h> <or> <synthetic> <client> <cpu_ns> <class> <title>
// A window manager's frame is reported with the client it holds (client is the
// framed window, or the window itself when unframed); class and title are the
// client's. cpu_ns is the CPU time of PID so far (all its threads, from
// /proc/PID/task/*/schedstat), or -1 without --pid. The first line is "READY".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <unordered_set>
#include <xcb/xcb.h>

static xcb_connection_t* conn;
static xcb_window_t root;
static xcb_atom_t atomNetWmName;
static xcb_atom_t atomUtf8;
static int watchedPid = -1;
// Children of the root (top levels and frames): the root reports their events as they
// happen. A window inside a frame reports its own, as far as our selection on it was
// in place in time.
static std::unordered_set<xcb_window_t> topLevels;

static long long nowUs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000LL + ts.tv_nsec / 1000;
}

static long long cpuNs(void) {
    if (watchedPid < 0)
        return -1;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task", watchedPid);
    DIR* dir = opendir(path);
    if (!dir)
        return -1;
    long long total = 0;
    struct dirent* entry;
    while ((entry = readdir(dir)) != nullptr) {
        if (entry->d_name[0] == '.')
            continue;
        char file[320];
        snprintf(file, sizeof file, "/proc/%d/task/%s/schedstat", watchedPid, entry->d_name);
        FILE* f = fopen(file, "r");
        if (!f)
            continue;
        long long ns = 0;
        if (fscanf(f, "%lld", &ns) == 1)
            total += ns;
        fclose(f);
    }
    closedir(dir);
    return total;
}

static xcb_atom_t atom(const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
    xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(r);
    return a;
}

// The property as text, tabs and line breaks made spaces; empty when unset. Of
// WM_CLASS ("instance\0class\0") the class.
static void textProperty(xcb_window_t w, xcb_atom_t property, xcb_atom_t type, char* out, size_t size) {
    out[0] = '\0';
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(conn, xcb_get_property(conn, 0, w, property, type, 0, 256), nullptr);
    if (!r)
        return;
    const int len = xcb_get_property_value_length(r);
    const char* value = static_cast<const char*>(xcb_get_property_value(r));
    int from = 0;
    if (property == XCB_ATOM_WM_CLASS) {
        const int first = static_cast<int>(strnlen(value, static_cast<size_t>(len)));
        if (first + 1 < len)
            from = first + 1;
    }
    size_t n = 0;
    for (int i = from; i < len && value[i] != '\0' && n + 1 < size; ++i)
        out[n++] = (value[i] == '\t' || value[i] == '\n') ? ' ' : value[i];
    out[n] = '\0';
    free(r);
}

static int hasClass(xcb_window_t w) {
    char c[128];
    textProperty(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, c, sizeof c);
    return c[0] != '\0';
}

// The window with WM_CLASS at or below w (depth-first, a few levels): a frame's client.
static xcb_window_t clientOf(xcb_window_t w, int depth) {
    if (hasClass(w))
        return w;
    if (depth == 0)
        return XCB_WINDOW_NONE;
    xcb_query_tree_reply_t* t = xcb_query_tree_reply(conn, xcb_query_tree(conn, w), nullptr);
    if (!t)
        return XCB_WINDOW_NONE;
    xcb_window_t found = XCB_WINDOW_NONE;
    xcb_window_t* kids = xcb_query_tree_children(t);
    for (int i = 0; i < xcb_query_tree_children_length(t) && found == XCB_WINDOW_NONE; ++i)
        found = clientOf(kids[i], depth - 1);
    free(t);
    return found;
}

static void watch(xcb_window_t w) {
    topLevels.insert(w);
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn, w, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(conn);
}

// One copy of each event: the root's for a top level, the window's own otherwise.
static bool ours(xcb_window_t event, xcb_window_t window) {
    return topLevels.count(window) != 0 ? event == root : event == window;
}

static int overrideRedirect(xcb_window_t w) {
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, w), nullptr);
    int on = a ? a->override_redirect : 0;
    free(a);
    return on;
}

static void report(long long us, const char* what, xcb_window_t w, int x, int y, int width, int height, int synthetic) {
    xcb_window_t client = clientOf(w, 3);
    char cls[128] = "";
    char title[256] = "";
    if (client != XCB_WINDOW_NONE) {
        textProperty(client, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, cls, sizeof cls);
        textProperty(client, atomNetWmName, atomUtf8, title, sizeof title);
        if (title[0] == '\0')
            textProperty(client, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title, sizeof title);
    }
    printf("%lld\t%s\t0x%x\t%d\t%d\t%d\t%d\t%d\t%d\t0x%x\t%lld\t%s\t%s\n", us, what, w, x, y, width, height,
           overrideRedirect(w), synthetic, client, cpuNs(), cls, title);
    fflush(stdout);
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--pid") == 0) {
        watchedPid = atoi(argv[2]);
    } else if (argc != 1) {
        fprintf(stderr, "usage: xwatch [--pid PID]\n");
        return 2;
    }
    conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn)) {
        fprintf(stderr, "xwatch: cannot open the display\n");
        return 1;
    }
    root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    atomNetWmName = atom("_NET_WM_NAME");
    atomUtf8 = atom("UTF8_STRING");
    // New top-level windows (clients before the window manager frames them, and the
    // frames) are announced on the root; each is then watched for its own events.
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(conn, root, XCB_CW_EVENT_MASK, &rootMask);
    xcb_query_tree_reply_t* t = xcb_query_tree_reply(conn, xcb_query_tree(conn, root), nullptr);
    if (t) {
        xcb_window_t* kids = xcb_query_tree_children(t);
        for (int i = 0; i < xcb_query_tree_children_length(t); ++i)
            watch(kids[i]);
        free(t);
    }
    xcb_flush(conn);
    printf("READY\n");
    fflush(stdout);

    xcb_generic_event_t* e;
    while ((e = xcb_wait_for_event(conn)) != nullptr) {
        const long long us = nowUs();
        const int synthetic = (e->response_type & 0x80) != 0;
        switch (e->response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            const xcb_create_notify_event_t* c = reinterpret_cast<const xcb_create_notify_event_t*>(e);
            if (c->parent == root)
                watch(c->window);
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            // A client leaving the root for a frame stays watched (its own events);
            // a window coming to the root is a new top level.
            const xcb_reparent_notify_event_t* r = reinterpret_cast<const xcb_reparent_notify_event_t*>(e);
            if (r->parent == root)
                watch(r->window);
            else
                topLevels.erase(r->window);
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const xcb_destroy_notify_event_t* d = reinterpret_cast<const xcb_destroy_notify_event_t*>(e);
            topLevels.erase(d->window);
            break;
        }
        case XCB_MAP_NOTIFY: {
            const xcb_map_notify_event_t* m = reinterpret_cast<const xcb_map_notify_event_t*>(e);
            if (!ours(m->event, m->window))
                break;
            xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(conn, xcb_get_geometry(conn, m->window), nullptr);
            report(us, "MAP", m->window, g ? g->x : 0, g ? g->y : 0, g ? g->width : 0, g ? g->height : 0, synthetic);
            free(g);
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            const xcb_unmap_notify_event_t* u = reinterpret_cast<const xcb_unmap_notify_event_t*>(e);
            if (ours(u->event, u->window))
                report(us, "UNMAP", u->window, 0, 0, 0, 0, synthetic);
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const xcb_configure_notify_event_t* c = reinterpret_cast<const xcb_configure_notify_event_t*>(e);
            if (ours(c->event, c->window))
                report(us, "CONF", c->window, c->x, c->y, c->width, c->height, synthetic);
            break;
        }
        default:
            break;
        }
        free(e);
    }
    return 0;
}
