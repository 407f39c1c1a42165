// A program may be started with standard streams that do not block: a pipe
// or terminal its parent set so for its own reads and writes. When such an
// output is full or such an input still empty, the other end is only busy,
// yet every write or read fails at once, and the C library gives up on it.
// Every program therefore begins by giving itself open files of its own for
// the same pipes or terminals, ones that block, so that its reads and writes
// wait as they would on any other stream.
#ifndef WAIT_FOR_READER_H
#define WAIT_FOR_READER_H

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
// Puts on descriptor fd, when it is a non-blocking pipe or terminal, a file
// of the program's own for the same pipe or terminal, opened for access
// (O_RDONLY or O_WRONLY), that blocks. The file it shares with its parent
// keeps its flags: changing them would make the parent's own reads and
// writes block.
inline void blockOnOwnFile(int fd, int access)
{
    int flags = fcntl(fd, F_GETFL);
    struct stat stream;
    if (flags == -1 || !(flags & O_NONBLOCK) || fstat(fd, &stream) != 0 ||
        !(S_ISFIFO(stream.st_mode) || S_ISCHR(stream.st_mode)))
        return;
    // Opened without waiting, so that a pipe whose reader has gone is refused
    // here and fails at the first write, as it would have; then made to
    // block. O_NOCTTY keeps a terminal from becoming the program's
    // controlling one.
    char path[] = "/proc/self/fd/0";
    path[sizeof path - 2] = char('0' + fd);
    int own = open(path, access | O_NOCTTY | O_NONBLOCK);
    if (own == -1)
        return;
    int ownFlags = fcntl(own, F_GETFL);
    if (ownFlags != -1 && fcntl(own, F_SETFL, ownFlags & ~O_NONBLOCK) == 0)
        dup2(own, fd);
    close(own);
}
#endif

// Makes standard input wait for its writer, and standard output and standard
// error for their readers, so that a busy one is never taken for a failed
// one: not the typed count, the picture or the one line that says why it
// failed. Where there is no file of its own to be had (a socket, a system
// without Linux's /proc) a stream stays as it was.
inline void waitForReader()
{
#ifdef __linux__
    int saved = errno;
    blockOnOwnFile(0, O_RDONLY);
    blockOnOwnFile(1, O_WRONLY);
    blockOnOwnFile(2, O_WRONLY);
    errno = saved;
#endif
}

#endif
