// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
/* Reference scanner: the least work a tag scan can do, to put the application's numbers in
 * perspective.
 *
 *   ref_walker [-t N] [-p PATTERN] DIR
 *   ref_walker [-t N] -l LIST
 *
 * Walks DIR with readdir and, for every regular file whose name matches PATTERN (default "*.mp3";
 * '*' and '?' wildcards, ASCII case-insensitive), opens it, fstats it and reads its last 128
 * bytes. Prints "files=<n> tagged=<m>", where tagged counts tails starting with "TAG".
 *
 * Without -t (or with -t 1) files are read while walking. With -t N the walk runs on the main
 * thread and hands batches of paths through a bounded queue to N reader threads, so walking and
 * reading overlap.
 *
 * With -l the paths come ready from LIST, one a line, and no folder is walked: the most a
 * reader can get from N threads, the ceiling of the share benchmark. Each path is handed to the
 * threads on its own, so that none waits behind a batch.
 *
 * Symlinks to files are followed, symlinks to directories are not (that also rules out loops).
 * Unreadable files or directories are reported on stderr and make the exit status 1, so a
 * benchmark cannot silently compare against a partial scan. */

#define _DEFAULT_SOURCE
#define _POSIX_C_SOURCE 200809L
#define _FILE_OFFSET_BITS 64

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

enum { TAG_SIZE = 128, BATCH_SIZE = 64, QUEUE_BATCHES = 256, MAX_THREADS = 256 };

typedef struct {
    unsigned long long files;
    unsigned long long tagged;
    unsigned long long errors;
} Counts;

static void* xmalloc(size_t size) {
    void* p = malloc(size);
    if (!p) {
        fputs("ref_walker: out of memory\n", stderr);
        exit(1);
    }
    return p;
}

static void report(Counts* counts, const char* what, const char* path, int err) {
    fprintf(stderr, "ref_walker: %s %s: %s\n", what, path, strerror(err));
    counts->errors++;
}

/* ------------------------------------------------------------------------------------------- */
/* Name matching */

static unsigned char fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

/* Glob match with '*' and '?', ASCII case-insensitive; other bytes compare exactly, so UTF-8
 * names are fine. Greedy with a single backtrack point, so it runs in O(len(name) * len(pattern))
 * at worst rather than exponentially on patterns like "*a*a*a*b". */
static int matches(const char* pattern, const char* name) {
    const char *p = pattern, *n = name;
    const char *starP = NULL, *starN = NULL;
    while (*n) {
        if (*p == '*') {
            starP = ++p;
            starN = n;
        } else if (*p && (*p == '?' || fold((unsigned char)*p) == fold((unsigned char)*n))) {
            ++p;
            ++n;
        } else if (starP) {
            p = starP;
            n = ++starN;
        } else {
            return 0;
        }
    }
    while (*p == '*')
        ++p;
    return *p == '\0';
}

/* ------------------------------------------------------------------------------------------- */
/* Reading a tag */

static void readTag(const char* path, Counts* counts) {
    /* O_NONBLOCK: a symlink to a FIFO must not hang the scan; it has no effect on regular files. */
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        report(counts, "open", path, errno);
        return;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        report(counts, "stat", path, errno);
        close(fd);
        return;
    }
    /* The name matched, but a symlink may point at something that is not a regular file. */
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return;
    }
    counts->files++;
    if (st.st_size >= TAG_SIZE) {
        unsigned char tail[TAG_SIZE];
        size_t got = 0;
        while (got < TAG_SIZE) {
            ssize_t n = pread(fd, tail + got, TAG_SIZE - got, st.st_size - TAG_SIZE + (off_t)got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                report(counts, "read", path, errno);
                break;
            }
            if (n == 0)
                break; /* truncated while we were looking */
            got += (size_t)n;
        }
        if (got == TAG_SIZE && memcmp(tail, "TAG", 3) == 0)
            counts->tagged++;
    }
    close(fd);
}

/* ------------------------------------------------------------------------------------------- */
/* Hand-over between the walker and the reader threads */

typedef struct {
    size_t count;
    char* paths[BATCH_SIZE];
} Batch;

typedef struct {
    pthread_mutex_t lock;
    pthread_cond_t notEmpty;
    pthread_cond_t notFull;
    Batch* slots[QUEUE_BATCHES];
    size_t head, size;
    int closed;
} Queue;

static Queue queue = {
    PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, PTHREAD_COND_INITIALIZER, {0}, 0, 0, 0};

static void queuePush(Batch* batch) {
    pthread_mutex_lock(&queue.lock);
    while (queue.size == QUEUE_BATCHES)
        pthread_cond_wait(&queue.notFull, &queue.lock);
    queue.slots[(queue.head + queue.size) % QUEUE_BATCHES] = batch;
    queue.size++;
    pthread_cond_signal(&queue.notEmpty);
    pthread_mutex_unlock(&queue.lock);
}

static void queueClose(void) {
    pthread_mutex_lock(&queue.lock);
    queue.closed = 1;
    pthread_cond_broadcast(&queue.notEmpty);
    pthread_mutex_unlock(&queue.lock);
}

/* Returns NULL once the queue is closed and drained. */
static Batch* queuePop(void) {
    pthread_mutex_lock(&queue.lock);
    while (queue.size == 0 && !queue.closed)
        pthread_cond_wait(&queue.notEmpty, &queue.lock);
    Batch* batch = NULL;
    if (queue.size > 0) {
        batch = queue.slots[queue.head];
        queue.head = (queue.head + 1) % QUEUE_BATCHES;
        queue.size--;
        pthread_cond_signal(&queue.notFull);
    }
    pthread_mutex_unlock(&queue.lock);
    return batch;
}

static void* reader(void* arg) {
    Counts* counts = arg;
    Batch* batch;
    while ((batch = queuePop()) != NULL) {
        for (size_t i = 0; i < batch->count; ++i) {
            readTag(batch->paths[i], counts);
            free(batch->paths[i]);
        }
        free(batch);
    }
    return NULL;
}

/* ------------------------------------------------------------------------------------------- */
/* Walking */

typedef struct {
    const char* pattern;
    int threaded;
    Batch* pending; /* threaded mode: batch being filled */
    Counts counts;  /* walk errors; in single-threaded mode also the tag counts */
} Walk;

static char* joinPath(const char* dir, const char* name) {
    size_t dirLen = strlen(dir), nameLen = strlen(name);
    int slash = dirLen > 0 && dir[dirLen - 1] != '/';
    char* path = xmalloc(dirLen + (size_t)slash + nameLen + 1);
    memcpy(path, dir, dirLen);
    if (slash)
        path[dirLen] = '/';
    memcpy(path + dirLen + (size_t)slash, name, nameLen + 1);
    return path;
}

/* Takes ownership of path. */
static void handleFile(Walk* walk, char* path) {
    if (!walk->threaded) {
        readTag(path, &walk->counts);
        free(path);
        return;
    }
    if (!walk->pending) {
        walk->pending = xmalloc(sizeof(Batch));
        walk->pending->count = 0;
    }
    walk->pending->paths[walk->pending->count++] = path;
    if (walk->pending->count == BATCH_SIZE) {
        queuePush(walk->pending);
        walk->pending = NULL;
    }
}

typedef struct {
    char** items;
    size_t size, capacity;
} Stack;

static void stackPush(Stack* stack, char* item) {
    if (stack->size == stack->capacity) {
        size_t capacity = stack->capacity ? stack->capacity * 2 : 64;
        char** items = realloc(stack->items, capacity * sizeof *items);
        if (!items) {
            fputs("ref_walker: out of memory\n", stderr);
            exit(1);
        }
        stack->items = items;
        stack->capacity = capacity;
    }
    stack->items[stack->size++] = item;
}

/* Depth-first with an explicit stack, and each directory is closed before its children are
 * visited: neither the C stack nor the number of open descriptors grows with the tree depth. */
static void walkTree(Walk* walk, const char* root) {
    Stack pendingDirs = {NULL, 0, 0};
    stackPush(&pendingDirs, joinPath(root, ""));
    while (pendingDirs.size > 0) {
        char* dirPath = pendingDirs.items[--pendingDirs.size];
        DIR* dir = opendir(dirPath);
        if (!dir) {
            report(&walk->counts, "open", dirPath, errno);
            free(dirPath);
            continue;
        }
        struct dirent* entry;
        for (;;) {
            errno = 0;
            entry = readdir(dir);
            if (!entry) {
                if (errno != 0)
                    report(&walk->counts, "read", dirPath, errno);
                break;
            }
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            unsigned char type = entry->d_type;
            if (type == DT_DIR) {
                stackPush(&pendingDirs, joinPath(dirPath, name));
                continue;
            }
            if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN)
                continue;
            if (type == DT_UNKNOWN) {
                /* Some file systems do not fill in d_type. */
                struct stat st;
                if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    char* path = joinPath(dirPath, name);
                    report(&walk->counts, "stat", path, errno);
                    free(path);
                    continue;
                }
                if (S_ISDIR(st.st_mode)) {
                    stackPush(&pendingDirs, joinPath(dirPath, name));
                    continue;
                }
                if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
                    continue;
                if (S_ISLNK(st.st_mode))
                    type = DT_LNK;
            }
            if (!matches(walk->pattern, name))
                continue;
            if (type == DT_LNK) {
                /* Only links to regular files count; a dangling or looping link is not a file. */
                struct stat st;
                if (fstatat(dirfd(dir), name, &st, 0) != 0) {
                    if (errno != ENOENT && errno != ELOOP) {
                        char* path = joinPath(dirPath, name);
                        report(&walk->counts, "stat", path, errno);
                        free(path);
                    }
                    continue;
                }
                if (!S_ISREG(st.st_mode))
                    continue;
            }
            handleFile(walk, joinPath(dirPath, name));
        }
        closedir(dir);
        free(dirPath);
    }
    free(pendingDirs.items);
}

/* Hands every path of the list to handleFile, each in a batch of its own when threaded. */
static int readList(Walk* walk, const char* listPath) {
    FILE* list = fopen(listPath, "r");
    if (!list) {
        fprintf(stderr, "ref_walker: %s: %s\n", listPath, strerror(errno));
        return 1;
    }
    char* line = NULL;
    size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, list)) > 0) {
        if (line[length - 1] == '\n')
            line[--length] = '\0';
        if (length == 0)
            continue;
        handleFile(walk, strdup(line));
        if (walk->pending) {
            queuePush(walk->pending);
            walk->pending = NULL;
        }
    }
    free(line);
    fclose(list);
    return 0;
}

static void usage(void) {
    fputs("usage: ref_walker [-t THREADS] [-p PATTERN] DIR | ref_walker [-t THREADS] -l LIST\n",
          stderr);
    exit(2);
}

int main(int argc, char** argv) {
    long threads = 1;
    const char* pattern = "*.mp3";
    const char* listPath = NULL;
    int opt;
    while ((opt = getopt(argc, argv, "t:p:l:h")) != -1) {
        switch (opt) {
        case 't': {
            char* end = NULL;
            errno = 0;
            threads = strtol(optarg, &end, 10);
            if (errno != 0 || *end != '\0' || threads < 1 || threads > MAX_THREADS) {
                fprintf(stderr, "ref_walker: -t expects 1..%d\n", MAX_THREADS);
                return 2;
            }
            break;
        }
        case 'p':
            pattern = optarg;
            break;
        case 'l':
            listPath = optarg;
            break;
        default:
            usage();
        }
    }
    if (optind != argc - (listPath ? 0 : 1))
        usage();
    const char* root = listPath ? NULL : argv[optind];

    struct stat rootStat;
    if (root && (stat(root, &rootStat) != 0 || !S_ISDIR(rootStat.st_mode))) {
        fprintf(stderr, "ref_walker: %s is not a directory\n", root);
        return 1;
    }

    Walk walk = {pattern, threads > 1, NULL, {0, 0, 0}};
    Counts total = {0, 0, 0};
    if (!walk.threaded) {
        if (root)
            walkTree(&walk, root);
        else if (readList(&walk, listPath) != 0)
            return 1;
    } else {
        pthread_t ids[MAX_THREADS];
        Counts perThread[MAX_THREADS];
        memset(perThread, 0, sizeof perThread);
        for (long i = 0; i < threads; ++i) {
            int rc = pthread_create(&ids[i], NULL, reader, &perThread[i]);
            if (rc != 0) {
                fprintf(stderr, "ref_walker: cannot start thread: %s\n", strerror(rc));
                return 1;
            }
        }
        if (root)
            walkTree(&walk, root);
        else if (readList(&walk, listPath) != 0)
            return 1;
        if (walk.pending)
            queuePush(walk.pending);
        queueClose();
        for (long i = 0; i < threads; ++i) {
            pthread_join(ids[i], NULL);
            total.files += perThread[i].files;
            total.tagged += perThread[i].tagged;
            total.errors += perThread[i].errors;
        }
    }
    total.files += walk.counts.files;
    total.tagged += walk.counts.tagged;
    total.errors += walk.counts.errors;

    printf("files=%llu tagged=%llu\n", total.files, total.tagged);
    if (total.errors > 0) {
        fprintf(stderr, "ref_walker: %llu errors\n", total.errors);
        return 1;
    }
    return 0;
}
