# Cross build for 64-bit RISC-V with Debian's g++-riscv64-linux-gnu; the tests
# run the programs under qemu-user.
set(TRIPLET riscv64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
