// waist: the same hourglass as funnel, but its predicate works in two
// horizontal bands, each bounded by both edge lines.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// The middle row belongs to the upper band. In each band the test against
// y = -x comes first, and a cell that fails it is outside at once.
int isHourglass(int h, int x, int y)
{
    if (y >= -h)
        return y >= -x && y >= x - 2 * h;
    return y <= -x && y <= x - 2 * h;
}

int main()
{
    waitForReader();

    const int h = 10;

    for (int y = 0; y >= -2 * h; y--) {
        for (int x = 0; x <= 2 * h; x++)
            putchar(isHourglass(h, x, y) ? '*' : ' ');
        putchar('\n');
    }
    return flushOutput("waist");
}
