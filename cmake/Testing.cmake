# GoogleTest from Debian's source package, cross-built with our toolchain.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# One CTest entry per test executable, run through the Wine wrapper.
# LOCKS names shared resources for serialisation: clipboard, hotkeys and
# desktop belong to one test desktop, network to the whole machine (loopback
# ports). Every exe that creates windows or starts programs takes "desktop":
# under Wine a new process's window can take the foreground from a test that
# checks it, or show in another test's screenshot.
# DESKTOP (1 or 2, default 1) picks the test desktop the exe runs on: each is
# a display and Wine prefix of its own (scripts/test), so exes on different
# desktops run side by side. Keep the two about equally busy.
set(PAGEKEEP_DESKTOP_LOCKS clipboard hotkeys desktop)
function(pagekeep_add_test_exe name)
  cmake_parse_arguments(ARG "" "TIMEOUT;DESKTOP" "SOURCES;LIBS;LOCKS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT ARG_SOURCES)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(NOT ARG_DESKTOP)
    set(ARG_DESKTOP 1)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE pagekeep_options gtest ${ARG_LIBS})
  target_link_libraries(${name} PRIVATE gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
                                          ENVIRONMENT PAGEKEEP_DESKTOP=${ARG_DESKTOP})
  set(locks)
  foreach(lock IN LISTS ARG_LOCKS)
    if(lock IN_LIST PAGEKEEP_DESKTOP_LOCKS)
      set(lock "desktop${ARG_DESKTOP}-${lock}")
    endif()
    list(APPEND locks ${lock})
  endforeach()
  if(locks)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endfunction()
