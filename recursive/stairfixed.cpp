// stairfixed: a left-aligned staircase of seven rows, where both the run of
// stars in a row and the sequence of rows come from tail recursion: each call
// writes its own part first, then calls itself for the rest.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// Writes k stars; stops on exactly 0, and is only called with k of 1 or more.
int PrintStar(int k)
{
    if (k == 0)
        return 0;
    putchar('*');
    return PrintStar(k - 1);
}

// Writes the rows of lengths i to last, shortest first.
int PrintTriangle(int i, int last)
{
    if (i > last)
        return 0;
    PrintStar(i);
    putchar('\n');
    return PrintTriangle(i + 1, last);
}

int main()
{
    waitForReader();

    const int first = 1;
    const int last = 7;

    PrintTriangle(first, last);
    return flushOutput("stairfixed");
}
