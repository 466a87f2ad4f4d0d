# What differs between the 32-bit build (the product) and the 64-bit build of
# the same sources. Code that must know asks src/shared/Architecture.h.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PAGEKEEP_ARCH x64)
else()
  set(PAGEKEEP_ARCH x86)
endif()

# Each build updates from a folder of its own kind: the 64-bit build's is
# the 32-bit one's "x64/" subfolder unless configured otherwise.
set(PAGEKEEP_UPDATE_URL_X64 "" CACHE STRING
    "Update base URL of the 64-bit build; empty: PAGEKEEP_UPDATE_URL followed by x64/")
if(PAGEKEEP_ARCH STREQUAL x64)
  if(PAGEKEEP_UPDATE_URL_X64)
    set(PAGEKEEP_PROGRAM_UPDATE_URL "${PAGEKEEP_UPDATE_URL_X64}")
  else()
    set(PAGEKEEP_PROGRAM_UPDATE_URL "${PAGEKEEP_UPDATE_URL}x64/")
  endif()
else()
  set(PAGEKEEP_PROGRAM_UPDATE_URL "${PAGEKEEP_UPDATE_URL}")
endif()

# Large-address aware: a 32-bit process then gets up to 4 GiB of address
# space on 64-bit Windows instead of 2 GiB, room for a history of large
# pictures. A 64-bit image has it anyway (the 64-bit linker refuses the flag).
function(pagekeep_large_address_aware target)
  if(NOT PAGEKEEP_ARCH STREQUAL x86)
    return()
  endif()
  if(MSVC)
    target_link_options(${target} PRIVATE /LARGEADDRESSAWARE)
  else()
    target_link_options(${target} PRIVATE -Wl,--large-address-aware)
  endif()
endfunction()
