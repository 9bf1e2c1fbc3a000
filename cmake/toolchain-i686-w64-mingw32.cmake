# Cross-compiles for 32-bit Windows with Debian's mingw-w64 GCC (cmake/MingwToolchain.cmake):
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
#         -DQUILLON_NATIVE_TOOLS_DIR=<native build folder>
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLON_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

# SSE2 arithmetic, as on x86-64: the x87 unit's extended precision would make renders differ, and the
# denormal guard sets the SSE control register.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
