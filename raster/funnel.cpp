// funnel: an hourglass, drawn by a raster scan whose predicate splits the
// plane into four quadrants around the centre (h, -h).
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

// The edge lines y = -x and y = x - 2h cross at the centre. Cells on the
// middle row or column meet several conditions; the first case answers.
int isHourglass(int h, int x, int y)
{
    if (x <= h && y >= -h) // upper left
        return y >= -x;
    if (x <= h && y <= -h) // lower left
        return y <= x - 2 * h;
    if (x >= h && y >= -h) // upper right
        return y >= x - 2 * h;
    return y <= -x; // lower right
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
    return flushOutput("funnel");
}
