// wedge: an inverted, lopsided triangle cut from the plane by two half-planes
// with fractional slopes, tested in double precision.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// Column first, then row. Both edges are inclusive: the right edge passes
// exactly through the cells (30, -1), (40, 2), (50, 5) and (60, 8), which are
// inside. Over this field the answers are the same whether x * 0.3 is rounded
// before 10 is taken off or fused into one multiply-add, so they do not depend
// on the compiler or its flags.
int isPyramid(int x, int y)
{
    double dx = x;
    double dy = y;

    if (dy < 10.0 - dx * 0.5)
        return 0;
    if (dy < dx * 0.3 - 10.0)
        return 0;
    return 1;
}

int main()
{
    waitForReader();

    const int h = 10;

    for (int y = h; y >= -h; y--) {
        for (int x = 0; x <= 8 * h; x++)
            putchar(isPyramid(x, y) ? '*' : ' ');
        putchar('\n');
    }
    return flushOutput("wedge");
}
