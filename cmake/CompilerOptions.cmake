# Compiler differences live here, not in the sources.
add_library(pagekeep_options INTERFACE)
target_compile_definitions(pagekeep_options INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
  _WIN32_WINNT=0x0A00 WINVER=0x0A00 NTDDI_VERSION=0x0A000006)
target_include_directories(pagekeep_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

option(PAGEKEEP_WERROR "Treat compiler warnings as errors" ON)
option(PAGEKEEP_STRICT_WARNINGS "Conversion, shadowing and cast warnings" ON)
if(MSVC)
  target_compile_options(pagekeep_options INTERFACE /W4 /permissive- /utf-8 /EHsc)
  if(PAGEKEEP_WERROR)
    target_compile_options(pagekeep_options INTERFACE /WX)
  endif()
else()
  target_compile_options(pagekeep_options INTERFACE -Wall -Wextra)
  # Beyond -Wall -Wextra: the conversions that lose a sign or bits, names
  # that hide others, C casts, and the conditions GCC can prove wrong.
  if(PAGEKEEP_STRICT_WARNINGS)
    target_compile_options(pagekeep_options INTERFACE
      -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast -Wnull-dereference
      -Wlogical-op -Wduplicated-cond)
  endif()
  if(PAGEKEEP_WERROR)
    target_compile_options(pagekeep_options INTERFACE -Werror)
  endif()
endif()

# The debug variant (scripts/build --debug): undefined behaviour traps at
# once (no run-time library, which mingw lacks) and the standard library
# checks its preconditions (indexes, iterators, empty containers).
option(PAGEKEEP_DEBUG_CHECKS "Trap undefined behaviour and enable library assertions" OFF)
if(PAGEKEEP_DEBUG_CHECKS AND NOT MSVC)
  target_compile_options(pagekeep_options INTERFACE
    -fsanitize=undefined -fsanitize-undefined-trap-on-error)
  target_compile_definitions(pagekeep_options INTERFACE _GLIBCXX_ASSERTIONS)
endif()

# Libraries of one area of the program: every source in the folder, so that
# adding a module needs no edit here.
function(pagekeep_area_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;SYSTEM_LIBS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_sources)
    add_library(${name} STATIC ${_sources})
    target_link_libraries(${name} PUBLIC pagekeep_options ${ARG_DEPENDS} ${ARG_SYSTEM_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE pagekeep_options ${ARG_DEPENDS} ${ARG_SYSTEM_LIBS})
  endif()
endfunction()

# Programs of our own start at wWinMain/wmain: a narrow argv mangles non-ASCII
# arguments.
function(pagekeep_wide_entry target)
  if(NOT MSVC)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()
