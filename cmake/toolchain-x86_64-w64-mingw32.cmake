# Cross-compiles for 64-bit Windows with Debian's mingw-w64 GCC (cmake/MingwToolchain.cmake):
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
#         -DQUILLON_NATIVE_TOOLS_DIR=<native build folder>
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLON_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
