// The one line a program writes on standard error when its input or output
// fails, in the way of the standard Unix tools: "name: write error: reason".
#ifndef REPORT_FAILURE_H
#define REPORT_FAILURE_H

#include <cerrno>
#include <cstdio>
#include <cstring>

// Says that the WHAT ("read" or "write") failed, for the reason errno holds,
// and returns 1, the status for main to exit with.
inline int reportFailure(const char *program, const char *what)
{
    if (errno != 0)
        std::fprintf(stderr, "%s: %s error: %s\n", program, what, std::strerror(errno));
    else
        std::fprintf(stderr, "%s: %s error\n", program, what);
    return 1;
}

#endif
