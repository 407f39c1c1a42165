# Cross build for 32-bit x86 with Debian's g++-i686-linux-gnu, whose doubles
# are computed on the x87 unit; the tests run the programs under qemu-user.
set(TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
