// Preloaded into `mivo` by the memory rows: what the process holds in
// malloc's hands, as opposed to the pages it touched. Resident memory moves
// in 4 kB pages and grows for a long while as the allocator's free lists
// settle, so it cannot tell a slow leak from a heap finding its shape;
// bytes in use can. A thread of its own writes them every 50 ms to the
// file MIVO_HEAP_PROBE_FILE names, as "<sample> <bytes>", replacing the
// file whole so a reader never sees half a line.
#define _GNU_SOURCE
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static char path[4096];
static char scratch[4108];

static void* report(void* unused) {
    (void)unused;
    const struct timespec pause = {0, 50 * 1000 * 1000};
    for (unsigned long sample = 0;; ++sample) {
        const struct mallinfo2 info = mallinfo2();
        // No stdio: a FILE is allocated, and the probe must not be what
        // it measures.
        char line[64];
        const int length =
            snprintf(line, sizeof line, "%lu %zu\n", sample, info.uordblks + info.hblkhd);
        const int out = open(scratch, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (out >= 0) {
            const int whole = write(out, line, (size_t)length) == length;
            close(out);
            if (whole)
                rename(scratch, path);
        }
        nanosleep(&pause, NULL);
    }
    return NULL;
}

__attribute__((constructor)) static void startProbe(void) {
    const char* where = getenv("MIVO_HEAP_PROBE_FILE");
    if (where == NULL || *where == '\0' || strlen(where) >= sizeof path)
        return;
    strcpy(path, where);
    snprintf(scratch, sizeof scratch, "%s.new", path);
    // Children of the probed process (the textlint bridge, a browser)
    // are not what is measured.
    unsetenv("LD_PRELOAD");
    unsetenv("MIVO_HEAP_PROBE_FILE");
    pthread_t thread;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_create(&thread, &attributes, report, NULL);
    pthread_attr_destroy(&attributes);
}
