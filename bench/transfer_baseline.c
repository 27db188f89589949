/* The least a stop-and-wait transfer can cost: the same bytes on the wire as
 * the program's file transfer (528-byte offer, 'y', chunks of at most 4096
 * bytes each answered by one byte, '|' at the end), TCP_NODELAY on both ends,
 * blocking sockets, plain read(2)/write(2) on the files, no event loop. It is
 * also the strict peer the program must keep working with, in either role.
 *
 * With "stream" at the end the same offer and answers frame a plain streaming
 * copy instead: the file in 1 MiB writes and reads, one '|' at the end, which
 * is what the link itself can carry.
 *
 *   transfer_baseline serve BIND PORT OUTFILE [stream]   receive offers forever
 *   transfer_baseline send PEER PORT FILE BIND [stream]  send FILE once, print seconds
 *   transfer_baseline loop PORT FILE OUTFILE [stream]    both, 127.0.0.2 <- 127.0.0.1
 *   transfer_baseline relay BIND PORT PEER PEERPORT MS   forward connections
 *       to PEER:PEERPORT, each byte held MS milliseconds in either direction
 */
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { HEADER = 528, CHUNK = 4096, BLOCK = 1 << 20 };

static int streaming = 0;

static void die(const char* what) {
    perror(what);
    exit(1);
}

static struct sockaddr_in address(const char* ip, int port) {
    struct sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons((uint16_t)port);
    if (inet_pton(AF_INET, ip, &sa.sin_addr) != 1) {
        fprintf(stderr, "bad address %s\n", ip);
        exit(1);
    }
    return sa;
}

static void nodelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

static int readFull(int fd, unsigned char* p, size_t n) {
    while (n > 0) {
        ssize_t r = read(fd, p, n);
        if (r <= 0) {
            return -1;
        }
        p += r;
        n -= (size_t)r;
    }
    return 0;
}

static int writeFull(int fd, const unsigned char* p, size_t n) {
    while (n > 0) {
        ssize_t r = write(fd, p, n);
        if (r <= 0) {
            return -1;
        }
        p += r;
        n -= (size_t)r;
    }
    return 0;
}

static void receiveOne(int c, const char* outPath) {
    unsigned char header[HEADER], buf[CHUNK];
    if (readFull(c, header, HEADER) != 0 || header[0] != 'c') {
        return;
    }
    int32_t total =
        (int32_t)(header[4] | header[5] << 8 | header[6] << 16 | (uint32_t)header[7] << 24);
    int out = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        die("open");
    }
    writeFull(c, (const unsigned char*)"y", 1);
    int64_t done = 0;
    if (streaming) {
        static unsigned char block[BLOCK];
        while (done < total) {
            ssize_t r = read(c, block, (size_t)(total - done < BLOCK ? total - done : BLOCK));
            if (r <= 0) {
                break;
            }
            done += r;
            writeFull(out, block, (size_t)r);
        }
        writeFull(c, (const unsigned char*)"|", 1);
    }
    while (done < total) {
        size_t n = total - done < CHUNK ? (size_t)(total - done) : CHUNK;
        ssize_t r = read(c, buf, n);
        if (r <= 0) {
            break;
        }
        done += r;
        writeFull(out, buf, (size_t)r);
        writeFull(c, (const unsigned char*)(done < total ? "{" : "|"), 1);
    }
    close(out);
}

static void serve(const char* bind_, int port, const char* outPath, int once) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in sa = address(bind_, port);
    if (bind(s, (struct sockaddr*)&sa, sizeof sa) != 0 || listen(s, 5) != 0) {
        die("listen");
    }
    if (once) {
        /* Tell the parent the port is ready. */
        kill(getppid(), SIGUSR1);
    }
    do {
        int c = accept(s, NULL, NULL);
        if (c < 0) {
            die("accept");
        }
        nodelay(c);
        receiveOne(c, outPath);
        close(c);
    } while (!once);
    close(s);
}

static double sendFile(const char* peer, int port, const char* path, const char* bind_) {
    int in = open(path, O_RDONLY);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0) {
        die("file");
    }
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    int s = socket(AF_INET, SOCK_STREAM, 0);
    nodelay(s);
    struct sockaddr_in local = address(bind_, 0), remote = address(peer, port);
    if (bind(s, (struct sockaddr*)&local, sizeof local) != 0 ||
        connect(s, (struct sockaddr*)&remote, sizeof remote) != 0) {
        die("connect");
    }
    unsigned char header[HEADER] = {'c'}, buf[CHUNK], reply;
    int32_t total = (int32_t)st.st_size;
    memcpy(header + 4, &total, 4); /* little-endian hosts */
    header[8] = 'f';
    writeFull(s, header, HEADER);
    if (readFull(s, &reply, 1) != 0 || reply != 'y') {
        die("offer");
    }
    if (streaming) {
        static unsigned char block[BLOCK];
        ssize_t n;
        while ((n = read(in, block, BLOCK)) > 0) {
            writeFull(s, block, (size_t)n);
        }
        while (reply != '|' && readFull(s, &reply, 1) == 0) {
        }
    }
    /* One chunk per reply, strictly: a chunk read in pieces earns several
     * replies, and each lets one more chunk go. */
    while (reply != '|') {
        ssize_t n = read(in, buf, CHUNK);
        if (n <= 0) {
            break;
        }
        writeFull(s, buf, (size_t)n);
        if (readFull(s, &reply, 1) != 0 || reply == '|') {
            break;
        }
    }
    while (reply != '|' && readFull(s, &reply, 1) == 0) {
    }
    close(s);
    close(in);
    clock_gettime(CLOCK_MONOTONIC, &t1);
    return (double)(t1.tv_sec - t0.tv_sec) + (double)(t1.tv_nsec - t0.tv_nsec) / 1e9;
}

/* The relay: per direction a reader stamps what arrives and a writer passes
 * it on once its time has come; at most 64 MiB wait, then the reader waits. */
struct segment {
    struct segment* next;
    struct timespec due;
    size_t size;
    unsigned char bytes[];
};

struct direction {
    int from, to;
    long delayNs;
    pthread_mutex_t lock;
    pthread_cond_t changed;
    struct segment *head, *tail;
    size_t queued;
    int ended;
};

enum { RELAY_SEGMENT = 64 << 10, RELAY_QUEUE = 64 << 20 };

static void* relayReader(void* arg) {
    struct direction* d = arg;
    for (;;) {
        struct segment* seg = malloc(sizeof *seg + RELAY_SEGMENT);
        ssize_t n = seg != NULL ? read(d->from, seg->bytes, RELAY_SEGMENT) : -1;
        pthread_mutex_lock(&d->lock);
        if (n <= 0) {
            free(seg);
            d->ended = 1;
            pthread_cond_broadcast(&d->changed);
            pthread_mutex_unlock(&d->lock);
            return NULL;
        }
        seg->size = (size_t)n;
        seg->next = NULL;
        clock_gettime(CLOCK_MONOTONIC, &seg->due);
        seg->due.tv_nsec += d->delayNs;
        seg->due.tv_sec += seg->due.tv_nsec / 1000000000L;
        seg->due.tv_nsec %= 1000000000L;
        while (d->queued > RELAY_QUEUE) {
            pthread_cond_wait(&d->changed, &d->lock);
        }
        if (d->tail != NULL) {
            d->tail->next = seg;
        } else {
            d->head = seg;
        }
        d->tail = seg;
        d->queued += seg->size;
        pthread_cond_broadcast(&d->changed);
        pthread_mutex_unlock(&d->lock);
    }
}

static void* relayWriter(void* arg) {
    struct direction* d = arg;
    int failed = 0;
    for (;;) {
        pthread_mutex_lock(&d->lock);
        while (d->head == NULL && !d->ended) {
            pthread_cond_wait(&d->changed, &d->lock);
        }
        struct segment* seg = d->head;
        if (seg == NULL) {
            pthread_mutex_unlock(&d->lock);
            break;
        }
        d->head = seg->next;
        if (d->head == NULL) {
            d->tail = NULL;
        }
        d->queued -= seg->size;
        pthread_cond_broadcast(&d->changed);
        pthread_mutex_unlock(&d->lock);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &seg->due, NULL) == EINTR) {
        }
        failed = failed || writeFull(d->to, seg->bytes, seg->size) != 0;
        free(seg);
    }
    shutdown(d->to, SHUT_WR);
    return NULL;
}

struct relayed {
    int a, b;
    long delayNs;
};

static void* relayConnection(void* arg) {
    struct relayed* r = arg;
    struct direction d[2] = {{.from = r->a, .to = r->b}, {.from = r->b, .to = r->a}};
    pthread_t threads[4];
    for (int i = 0; i < 2; ++i) {
        d[i].delayNs = r->delayNs;
        pthread_mutex_init(&d[i].lock, NULL);
        pthread_cond_init(&d[i].changed, NULL);
        pthread_create(&threads[2 * i], NULL, relayReader, &d[i]);
        pthread_create(&threads[2 * i + 1], NULL, relayWriter, &d[i]);
    }
    for (int i = 0; i < 4; ++i) {
        pthread_join(threads[i], NULL);
    }
    close(r->a);
    close(r->b);
    free(r);
    return NULL;
}

static void relay(const char* bind_, int port, const char* peer, int peerPort, int ms) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in sa = address(bind_, port), remote = address(peer, peerPort);
    if (bind(s, (struct sockaddr*)&sa, sizeof sa) != 0 || listen(s, 5) != 0) {
        die("listen");
    }
    for (;;) {
        int c = accept(s, NULL, NULL);
        if (c < 0) {
            die("accept");
        }
        int u = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(u, (struct sockaddr*)&remote, sizeof remote) != 0) {
            close(c);
            close(u);
            continue;
        }
        nodelay(c);
        nodelay(u);
        struct relayed* r = malloc(sizeof *r);
        r->a = c;
        r->b = u;
        r->delayNs = ms * 1000000L;
        pthread_t t;
        pthread_create(&t, NULL, relayConnection, r);
        pthread_detach(t);
    }
}

static volatile sig_atomic_t ready = 0;
static void onReady(int sig) {
    (void)sig;
    ready = 1;
}

int main(int argc, char** argv) {
    if (argc == 7 && strcmp(argv[1], "relay") == 0) {
        relay(argv[2], atoi(argv[3]), argv[4], atoi(argv[5]), atoi(argv[6]));
        return 0;
    }
    if (argc > 1 && strcmp(argv[argc - 1], "stream") == 0) {
        streaming = 1;
        --argc;
    }
    if (argc == 5 && strcmp(argv[1], "serve") == 0) {
        serve(argv[2], atoi(argv[3]), argv[4], 0);
        return 0;
    }
    if (argc == 6 && strcmp(argv[1], "send") == 0) {
        printf("%.6f\n", sendFile(argv[2], atoi(argv[3]), argv[4], argv[5]));
        return 0;
    }
    if (argc == 5 && strcmp(argv[1], "loop") == 0) {
        signal(SIGUSR1, onReady);
        pid_t child = fork();
        if (child == 0) {
            serve("127.0.0.2", atoi(argv[2]), argv[4], 1);
            return 0;
        }
        while (!ready) {
            usleep(1000);
        }
        printf("%.6f\n", sendFile("127.0.0.2", atoi(argv[2]), argv[3], "127.0.0.1"));
        waitpid(child, NULL, 0);
        return 0;
    }
    fprintf(stderr, "usage: see the top of transfer_baseline.c\n");
    return 2;
}
