/* Times whole runs of a CGI program the way a web server starts it:
   fork, exec with an environment, a body on standard input, the reply read
   to its end, wait. Prints the median and the mean in microseconds, and the
   largest peak memory of a run in KiB (this small process forks the runs, so
   the figure is the program's own).

   spawn_timer RUNS BODYFILE PROGRAM ARGV0 [WORDS...]   (environment: inherited)

   With SPAWN_RESET="FROM TO" in the environment, the file TO is replaced by
   a copy of FROM before each run, outside the timing (so that a command that
   adds a line meets the same basket every time). */
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

static void copy_file(const char* from, const char* to) {
    char buffer[65536];
    int in = open(from, O_RDONLY), out = open(to, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while (in >= 0 && out >= 0 && (n = read(in, buffer, sizeof buffer)) > 0)
        if (write(out, buffer, (size_t)n) != n) break;
    if (in >= 0) close(in);
    if (out >= 0) close(out);
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
    char reset_from[4096] = "", reset_to[4096] = "";
    const char* reset = getenv("SPAWN_RESET");
    if (reset && sscanf(reset, "%4095s %4095s", reset_from, reset_to) != 2) reset_from[0] = 0;
    for (int i = 0; i < runs; ++i) {
        int out[2];
        if (reset_from[0]) copy_file(reset_from, reset_to);
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
