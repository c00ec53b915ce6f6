// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
/* Runs a command with its output discarded and prints the peak resident memory of the command in
 * kilobytes, so that scripts need no time(1).
 *
 *   peak_rss COMMAND [ARGS...] */

#define _DEFAULT_SOURCE

#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("usage: peak_rss COMMAND [ARGS...]\n", stderr);
        return 2;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        fprintf(stderr, "peak_rss: %s failed\n", argv[1]);
        return 1;
    }
    printf("%ld\n", usage.ru_maxrss);
    return 0;
}
