#define _GNU_SOURCE
#include "floor_echo.h"

#include <errno.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

/* Echoes every chunk it reads until the slave side is closed (read then fails). */
static void* echo_peer(void* arg) {
    struct tovra_floor* f = (struct tovra_floor*)arg;
    unsigned char buffer[256];
    for (;;) {
        ssize_t n = read(f->master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return NULL;
        }
        ssize_t done = 0;
        while (done < n) {
            ssize_t w = write(f->master, buffer + done, (size_t)(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                return NULL;
            }
            done += w;
        }
    }
}

int tovra_floor_open(struct tovra_floor* f) {
    struct termios raw;
    f->peer_started = 0;
    if (openpty(&f->master, &f->slave, NULL, NULL, NULL) != 0) {
        return -1;
    }
    /* Raw bytes both ways, as a serial port is configured. */
    if (tcgetattr(f->slave, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(f->slave, TCSANOW, &raw);
    }
    if (pthread_create(&f->peer, NULL, echo_peer, f) != 0) {
        close(f->slave);
        close(f->master);
        return -1;
    }
    f->peer_started = 1;
    return 0;
}

int tovra_floor_round_trip(struct tovra_floor* f, const unsigned char* request,
                           unsigned char* reply, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t w = write(f->slave, request + done, size - done);
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            return -1;
        }
        done += (size_t)w;
    }
    done = 0;
    while (done < size) {
        ssize_t n = read(f->slave, reply + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return -1;
        }
        done += (size_t)n;
    }
    return 0;
}

void tovra_floor_close(struct tovra_floor* f) {
    /* Closing the slave makes the peer's read fail, which ends it. */
    close(f->slave);
    if (f->peer_started) {
        pthread_join(f->peer, NULL);
    }
    close(f->master);
}

static void* reply_reader(void* arg) {
    struct tovra_threaded_floor* f = (struct tovra_threaded_floor*)arg;
    unsigned char buffer[256];
    for (;;) {
        ssize_t n = read(f->line.slave, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        pthread_mutex_lock(&f->mutex);
        int stop = f->stop || n <= 0;
        if (n > 0) {
            f->received += (size_t)n;
        }
        pthread_cond_signal(&f->arrived);
        pthread_mutex_unlock(&f->mutex);
        if (stop) {
            return NULL;
        }
    }
}

int tovra_threaded_floor_open(struct tovra_threaded_floor* f) {
    f->received = 0;
    f->stop = 0;
    if (tovra_floor_open(&f->line) != 0) {
        return -1;
    }
    pthread_mutex_init(&f->mutex, NULL);
    pthread_cond_init(&f->arrived, NULL);
    if (pthread_create(&f->reader, NULL, reply_reader, f) != 0) {
        pthread_cond_destroy(&f->arrived);
        pthread_mutex_destroy(&f->mutex);
        tovra_floor_close(&f->line);
        return -1;
    }
    return 0;
}

int tovra_threaded_floor_round_trip(struct tovra_threaded_floor* f, const unsigned char* request,
                                    size_t size) {
    pthread_mutex_lock(&f->mutex);
    size_t expected = f->received + size;
    pthread_mutex_unlock(&f->mutex);
    size_t done = 0;
    while (done < size) {
        ssize_t w = write(f->line.slave, request + done, size - done);
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            return -1;
        }
        done += (size_t)w;
    }
    pthread_mutex_lock(&f->mutex);
    while (f->received < expected && !f->stop) {
        pthread_cond_wait(&f->arrived, &f->mutex);
    }
    int ok = f->received >= expected;
    pthread_mutex_unlock(&f->mutex);
    return ok ? 0 : -1;
}

void tovra_threaded_floor_close(struct tovra_threaded_floor* f) {
    /* The reader sees the stop with the echo of one more byte. */
    static const unsigned char wake = 0;
    pthread_mutex_lock(&f->mutex);
    f->stop = 1;
    pthread_mutex_unlock(&f->mutex);
    if (write(f->line.slave, &wake, 1) == 1) {
        pthread_join(f->reader, NULL);
    } else {
        pthread_cancel(f->reader);
        pthread_join(f->reader, NULL);
    }
    pthread_cond_destroy(&f->arrived);
    pthread_mutex_destroy(&f->mutex);
    tovra_floor_close(&f->line);
}
