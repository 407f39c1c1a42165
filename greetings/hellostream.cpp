// hellostream: the same greeting as hello, written through the output stream.
// The first line feed is part of the text; std::endl writes the second and
// flushes the stream.
#include <iostream>

#include "../common/flush_output.h"
#include "../common/wait_for_reader.h"

int main()
{
    waitForReader();
    std::cout << "Hello, World!\n";
    std::cout << "안녕하세요!" << std::endl;
    return flushOutput("hellostream");
}
