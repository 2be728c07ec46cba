/* Times whole runs of a CGI program the way a web server starts it:
   fork, exec with an environment, a body on standard input, the reply read
   to its end, wait. Prints the median and the mean in microseconds, and the
   largest peak memory of a run in KiB (this small process forks the runs, so
   the figure is the program's own).

   spawn_timer RUNS BODYFILE PROGRAM ARGV0 [WORDS...]   (environment: inherited) */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_us(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

static int compare(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: spawn_timer RUNS BODYFILE PROGRAM ARGV0 [WORDS...]\n");
        return 2;
    }
    int runs = atoi(argv[1]);
    const char* body = argv[2];
    const char* program = argv[3];
    char** args = argv + 4;
    double* times = calloc((size_t)runs, sizeof *times);
    char sink[65536];
    long peak = 0;
    for (int i = 0; i < runs; ++i) {
        int out[2];
        if (pipe(out) != 0) return 2;
        double start = now_us();
        pid_t pid = fork();
        if (pid == 0) {
            int in = open(body, O_RDONLY);
            if (in >= 0) dup2(in, 0);
            dup2(out[1], 1);
            close(out[0]);
            execv(program, args);
            _exit(127);
        }
        close(out[1]);
        while (read(out[0], sink, sizeof sink) > 0) {
        }
        close(out[0]);
        int status;
        struct rusage usage;
        wait4(pid, &status, 0, &usage);
        if (usage.ru_maxrss > peak) peak = usage.ru_maxrss;
        times[i] = now_us() - start;
    }
    double sum = 0;
    for (int i = 0; i < runs; ++i) sum += times[i];
    qsort(times, (size_t)runs, sizeof *times, compare);
    printf("%.1f %.1f %ld\n", times[runs / 2], sum / runs, peak);
    return 0;
}
