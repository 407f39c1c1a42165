// A program may be started with a standard output that does not block: a
// pipe or terminal its parent set so for its own writes. When such an output
// is full, its reader is only busy, yet every write fails at once, and the C
// library drops what it held. Every program therefore begins by giving itself
// an open file of its own for the same pipe or terminal, one that blocks, so
// that its writes wait for the reader as they would on any other output.
#ifndef WAIT_FOR_READER_H
#define WAIT_FOR_READER_H

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Makes standard output wait for a busy reader. The file it shares with its
// parent keeps its flags: changing them would make the parent's own writes
// block. Where there is no file of its own to be had (a socket, a system
// without Linux's /proc) standard output stays as it was.
inline void waitForReader()
{
#ifdef __linux__
    int saved = errno;
    int flags = fcntl(1, F_GETFL);
    struct stat output;
    if (flags != -1 && (flags & O_NONBLOCK) && fstat(1, &output) == 0 &&
        (S_ISFIFO(output.st_mode) || S_ISCHR(output.st_mode))) {
        // Opened without waiting, so that a pipe whose reader has gone is
        // refused here and fails at the first write, as it would have; then
        // made to block. O_NOCTTY keeps a terminal from becoming the
        // program's controlling one.
        int own = open("/proc/self/fd/1", O_WRONLY | O_NOCTTY | O_NONBLOCK);
        if (own != -1) {
            int ownFlags = fcntl(own, F_GETFL);
            if (ownFlags != -1 && fcntl(own, F_SETFL, ownFlags & ~O_NONBLOCK) == 0)
                dup2(own, 1);
            close(own);
        }
    }
    errno = saved;
#endif
}

#endif
