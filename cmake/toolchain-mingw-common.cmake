# What the 32-bit and the 64-bit mingw-w64 toolchain files share. The file
# that includes this sets PAGEKEEP_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR.
# The -posix variant is needed: GCC 12's -win32 variant has no std::thread or
# std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PAGEKEEP_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PAGEKEEP_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PAGEKEEP_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PAGEKEEP_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Without -static the exe needs libwinpthread-1.dll, libgcc and libstdc++ DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

get_filename_component(PAGEKEEP_TOOLCHAIN_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
