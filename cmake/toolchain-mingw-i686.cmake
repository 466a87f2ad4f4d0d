# Cross-build for 32-bit Windows (the product) with mingw-w64.
set(PAGEKEEP_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Tests and tools run through Wine via the project's wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR "${PAGEKEEP_TOOLCHAIN_ROOT}/scripts/wine-exec")
