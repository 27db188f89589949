/* The least a stop-and-wait transfer can cost: the same bytes on the wire as
 * the program's file transfer (528-byte offer, 'y', chunks of at most 4096
 * bytes each answered by one byte, '|' at the end), TCP_NODELAY on both ends,
 * blocking sockets, plain read(2)/write(2) on the files, no event loop.
 *
 *   transfer_baseline serve BIND PORT OUTFILE   receive offers forever
 *   transfer_baseline send PEER PORT FILE BIND  send FILE once, print seconds
 *   transfer_baseline loop PORT FILE OUTFILE    both, 127.0.0.2 <- 127.0.0.1
 */
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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

enum { HEADER = 528, CHUNK = 4096 };

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
    int32_t total = (int32_t)(header[4] | header[5] << 8 | header[6] << 16 | (uint32_t)header[7] << 24);
    int out = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        die("open");
    }
    writeFull(c, (const unsigned char*)"y", 1);
    int64_t done = 0;
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
    /* One chunk per reply, as the program does: a chunk read in pieces earns
     * several replies, and each lets one more chunk go. */
    for (;;) {
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

static volatile sig_atomic_t ready = 0;
static void onReady(int sig) {
    (void)sig;
    ready = 1;
}

int main(int argc, char** argv) {
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
