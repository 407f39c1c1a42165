# What the cross builds share, each with one of Debian's cross compilers: the
# compiler and the target's libraries, both named by the triplet that the
# toolchain file including this one sets in TRIPLET, beside the processor and
# the qemu-user emulator that runs the programs for the tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
