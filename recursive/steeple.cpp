// steeple: a centred pyramid whose rows, indentation and runs of stars all
// come from recursion. Each row is preceded by its line feed, so the output
// starts with an empty line and main adds the last line feed.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

int m = 4; // rows
int n;     // indentation of the bottom row

// Writes k blanks.
void space(int k)
{
    if (k == 0)
        return;
    space(k - 1);
    putchar(' ');
}

// Writes k stars.
void star(int k)
{
    if (k == 0)
        return;
    star(k - 1);
    putchar('*');
}

// Writes the rows of sizes 1 to a, smallest first; the row of size a is
// indented by depth, and each smaller row by one more.
void f(int a, int depth)
{
    if (a == 0)
        return;
    f(a - 1, depth + 1);
    putchar('\n');
    space(depth);
    star(2 * a - 1);
}

int main()
{
    waitForReader();
    f(m, n);
    putchar('\n');
    return flushOutput("steeple");
}
