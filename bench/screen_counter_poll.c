/* Reads the Test Pattern's frame counter back off an X screen: polls one row of
 * the picture's counter strip through MIT-SHM and prints each new value with
 * the moment it was first seen, in microseconds of CLOCK_MONOTONIC (the clock
 * KOVA's timing log uses, shared by every process of the machine whatever its
 * network namespace).
 *
 *   screen_counter_poll X Y W H SECONDS [INTERVAL_US]
 *
 * X Y W H is the picture as drawn on the screen of $DISPLAY. Output lines are
 * "shown N at T"; the last line is "polls P" (how many rows were read). The
 * sampling follows the pattern's own reader: the middle row of the bottom
 * eighth, one sample in the middle of each of the 16 blocks. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>

enum { kCounterBits = 16 };

static long long monotonic_us(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

static unsigned read_counter(XImage* row, int width) {
    unsigned n = 0;
    for (int i = 0; i < kCounterBits; ++i) {
        const int x = (2 * i + 1) * width / (2 * kCounterBits);
        const unsigned long p = XGetPixel(row, x, 0);
        const unsigned sum = ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
        n = (n << 1) | (sum > 3 * 128 ? 1u : 0u);
    }
    return n;
}

int main(int argc, char** argv) {
    if (argc < 6) {
        fprintf(stderr, "usage: %s X Y W H SECONDS [INTERVAL_US]\n", argv[0]);
        return 2;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]), w = atoi(argv[3]), h = atoi(argv[4]);
    const double seconds = atof(argv[5]);
    const long interval_us = argc > 6 ? atol(argv[6]) : 1000;
    Display* display = XOpenDisplay(NULL);
    if (display == NULL || !XShmQueryExtension(display) || w <= 0 || h <= 0) {
        fprintf(stderr, "no X display with MIT-SHM, or an empty picture\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    if (x < 0 || y < 0 || x + w > DisplayWidth(display, screen) ||
        y + h > DisplayHeight(display, screen)) {
        fprintf(stderr, "the picture is not wholly on the screen\n");
        return 1;
    }
    const int strip = h / 8 > 1 ? h / 8 : 1;
    const int row_y = y + h - strip / 2 - 1;

    XShmSegmentInfo shm;
    XImage* row = XShmCreateImage(display, DefaultVisual(display, screen),
                                  (unsigned)DefaultDepth(display, screen), ZPixmap, NULL, &shm,
                                  (unsigned)w, 1);
    if (row == NULL) {
        return 1;
    }
    shm.shmid = shmget(IPC_PRIVATE, (size_t)row->bytes_per_line, IPC_CREAT | 0600);
    shm.shmaddr = row->data = shmat(shm.shmid, NULL, 0);
    shm.readOnly = False;
    if (shm.shmid < 0 || shm.shmaddr == (void*)-1 || !XShmAttach(display, &shm)) {
        return 1;
    }
    XSync(display, False);
    /* Marked for removal now: the segment goes when both sides detach. */
    shmctl(shm.shmid, IPC_RMID, NULL);

    const long long end = monotonic_us() + (long long)(seconds * 1e6);
    const struct timespec pause = {interval_us / 1000000, (interval_us % 1000000) * 1000};
    long long polls = 0;
    long last = -1;
    for (long long now = monotonic_us(); now < end; now = monotonic_us()) {
        if (!XShmGetImage(display, root, row, x, row_y, AllPlanes)) {
            break;
        }
        /* The reply is complete once the call returns: stamp it now. */
        const long long seen = monotonic_us();
        ++polls;
        const unsigned n = read_counter(row, w);
        if ((long)n != last) {
            printf("shown %u at %lld\n", n, seen);
            last = (long)n;
        }
        nanosleep(&pause, NULL);
    }
    printf("polls %lld\n", polls);
    XShmDetach(display, &shm);
    shmdt(shm.shmaddr);
    XCloseDisplay(display);
    return 0;
}
