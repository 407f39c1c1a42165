# Cross build for 64-bit ARM with Debian's g++-aarch64-linux-gnu; the tests
# run the programs under qemu-user.
set(TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
