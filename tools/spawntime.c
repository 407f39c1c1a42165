/* spawntime: times whole processes.
 *
 *   spawntime ROUNDS INPUT PROGRAM...
 *
 * Runs every PROGRAM once per round, in turn, so that they share whatever the
 * machine is doing, with standard input from the file INPUT and standard
 * output on /dev/null. Prints one line per PROGRAM: the median wall time of a
 * run in microseconds and its peak resident memory in KiB. */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char **environ;

static int compare(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: spawntime ROUNDS INPUT PROGRAM...\n");
        return 2;
    }
    int rounds = atoi(argv[1]);
    int programs = argc - 3;
    double *times = calloc((size_t)rounds * (size_t)programs, sizeof *times);
    long *peak = calloc((size_t)programs, sizeof *peak);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, argv[2], O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);

    for (int r = 0; r < rounds; r++) {
        for (int p = 0; p < programs; p++) {
            char *args[] = {argv[3 + p], NULL};
            struct timespec start, end;
            struct rusage usage;
            int status;
            pid_t pid;
            clock_gettime(CLOCK_MONOTONIC, &start);
            if (posix_spawn(&pid, args[0], &actions, NULL, args, environ) != 0) {
                perror(args[0]);
                return 1;
            }
            wait4(pid, &status, 0, &usage);
            clock_gettime(CLOCK_MONOTONIC, &end);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                fprintf(stderr, "%s: failed\n", args[0]);
                return 1;
            }
            times[p * rounds + r] = (double)(end.tv_sec - start.tv_sec) * 1e6 +
                                    (double)(end.tv_nsec - start.tv_nsec) / 1e3;
            if (usage.ru_maxrss > peak[p])
                peak[p] = usage.ru_maxrss;
        }
    }
    for (int p = 0; p < programs; p++) {
        qsort(times + p * rounds, (size_t)rounds, sizeof *times, compare);
        printf("%.1f %ld\n", times[p * rounds + rounds / 2], peak[p]);
    }
    return 0;
}
