# Cross build for 32-bit ARM with hard float (Debian's armhf) with Debian's
# g++-arm-linux-gnueabihf; the tests run the programs under qemu-user.
set(TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
