/* The floor for a request/reply round trip over a pseudo-terminal: plain system calls,
 * a minimal echo peer on the master and a client that writes a request to the slave and
 * reads as many bytes back. Nothing is parsed, so nothing can be cheaper. */
#ifndef TOVRA_BENCH_FLOOR_ECHO_H
#define TOVRA_BENCH_FLOOR_ECHO_H

#include <pthread.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct tovra_floor {
    int master; /* the echo peer's end */
    int slave;  /* the client's end */
    pthread_t peer;
    int peer_started;
};

/* 0 on success; on failure nothing is left open. */
int tovra_floor_open(struct tovra_floor* f);
/* Writes size bytes and reads size bytes back; 0 on success. */
int tovra_floor_round_trip(struct tovra_floor* f, const unsigned char* request,
                           unsigned char* reply, size_t size);
void tovra_floor_close(struct tovra_floor* f);

/* The same with the shape every tool with a reader thread has: a thread reads the replies
 * from the slave and wakes the requester, which only writes and waits. */
struct tovra_threaded_floor {
    struct tovra_floor line;
    pthread_t reader;
    pthread_mutex_t mutex;
    pthread_cond_t arrived;
    size_t received; /* bytes the reader has read, under mutex */
    int stop;        /* under mutex */
};

int tovra_threaded_floor_open(struct tovra_threaded_floor* f);
int tovra_threaded_floor_round_trip(struct tovra_threaded_floor* f, const unsigned char* request,
                                    size_t size);
void tovra_threaded_floor_close(struct tovra_threaded_floor* f);

#ifdef __cplusplus
}
#endif

#endif
