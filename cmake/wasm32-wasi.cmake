# Build for WebAssembly with WASI, the system interface the web page gives the
# programs, with Debian's clang-19, lld-19, wasi-libc and libc++ for wasm32.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_EXECUTABLE_SUFFIX_CXX .wasm)
# Debian keeps the WASI headers and libraries under /usr, by triplet.
set(CMAKE_SYSROOT /usr)
# WASI's C++ library is built without exceptions.
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--strip-all -Wl,--gc-sections")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
