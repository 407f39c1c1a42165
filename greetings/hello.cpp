// hello: a two-line greeting, in English and in Korean, by line output.
// The Korean text is UTF-8 in the source and goes out as those bytes,
// whatever the locale.
#include <cstdio>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

int main()
{
    waitForReader();
    puts("Hello, World!");
    puts("안녕하세요!");
    return flushOutput("hello");
}
