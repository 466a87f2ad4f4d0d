# Cross-build for 64-bit Windows with mingw-w64: the same sources as a
# 64-bit program.
set(PAGEKEEP_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Tests and tools run through Wine via the project's wrapper, under the
# 64-bit loader on 64-bit prefixes.
set(CMAKE_CROSSCOMPILING_EMULATOR "${PAGEKEEP_TOOLCHAIN_ROOT}/scripts/wine-exec;--arch;x64")
