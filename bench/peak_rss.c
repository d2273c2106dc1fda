/* qor-peak-rss: runs a command and prints its peak resident memory (kB), its
 * CPU time (s), its wall time (s) and its exit status, on one line. With
 * -k SECONDS the command is killed after that long (for programs that never
 * end). The command's output is discarded. Written in C and small, so that the copy of it before the command's
 * exec is never what the kernel reports as the command's peak.
 * Usage: qor-peak-rss [-k SECONDS] COMMAND [ARG...] */
#define _GNU_SOURCE
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv)
{
    double killAfter = 0;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "-k") == 0) {
        killAfter = atof(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: qor-peak-rss [-k SECONDS] COMMAND [ARG...]\n");
        return 2;
    }
    const double start = now();
    const pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        return 2;
    }
    if (pid == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, 1);
            dup2(quiet, 2);
        }
        execvp(argv[first], argv + first);
        perror(argv[first]);
        _exit(127);
    }
    if (killAfter > 0) {
        usleep((useconds_t)(killAfter * 1e6));
        kill(pid, SIGKILL);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) < 0) {
        perror("wait4");
        return 2;
    }
    const double cpu = (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec / 1e6 +
                       (double)usage.ru_stime.tv_sec + (double)usage.ru_stime.tv_usec / 1e6;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    printf("%ld %.3f %.3f %d\n", usage.ru_maxrss, cpu, now() - start, code);
    return 0;
}
