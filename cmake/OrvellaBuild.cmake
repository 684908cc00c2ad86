# Shared compile settings and small helpers used by every area.

add_compile_options(-Wall -Wextra)

if(ORVELLA_SANITIZE)
  add_compile_options(-fsanitize=${ORVELLA_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ORVELLA_SANITIZE})
  # GCC 12's vptr check breaks a lambda that captures this inside another
  # lambda: the inner one reads its captures from the wrong address.
  if(ORVELLA_SANITIZE MATCHES "undefined" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-fno-sanitize=vptr)
  endif()
endif()

# Under ThreadSanitizer the tests leave out what the system libraries that are
# not instrumented (Qt, GLib, FFmpeg...) allocate, free and copy: their locks
# are invisible to the sanitizer, so each of those calls would be a race between
# two of their own threads. cmake/tsan.supp holds the few reports left from them.
# The build's own tools run unchecked. A process that exits with threads still
# running would otherwise sit a second in the sanitizer's exit hook, which the
# tests that time a program's exit would take for a slow exit.
set(ORVELLA_SANITIZER_ENV "")
set(ORVELLA_TOOL_ENV "")
if(ORVELLA_SANITIZE MATCHES "thread")
  set(ORVELLA_SANITIZER_ENV
      "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/tsan.supp:ignore_noninstrumented_modules=1:atexit_sleep_ms=0")
  set(ORVELLA_TOOL_ENV "TSAN_OPTIONS=report_bugs=0")
elseif(ORVELLA_SANITIZE MATCHES "address")
  # cmake/lsan.supp: what system libraries leak on their own.
  set(ORVELLA_SANITIZER_ENV "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp")
endif()

# Libraries and programs in the program folder find each other there.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)
set(CMAKE_SKIP_BUILD_RPATH OFF)

# $<LINK_LIBRARY:orvella_no_as_needed,lib>: lib is loaded even when nothing
# calls it, for what it does when it loads.
set(CMAKE_LINK_LIBRARY_USING_orvella_no_as_needed
    "LINKER:--push-state,--no-as-needed" "<LINK_ITEM>" "LINKER:--pop-state")
set(CMAKE_LINK_LIBRARY_USING_orvella_no_as_needed_SUPPORTED TRUE)

# orvella_set_origin_rpath(target [relative folder of the program folder])
function(orvella_set_origin_rpath target)
  set(rel "${ARGN}")
  if(rel STREQUAL "")
    set(rpath "$ORIGIN")
  else()
    set(rpath "$ORIGIN/${rel}")
  endif()
  set_target_properties(${target} PROPERTIES
    BUILD_RPATH "${rpath}" INSTALL_RPATH "${rpath}" BUILD_WITH_INSTALL_RPATH ON)
endfunction()

# Fuzzing build: everything instrumented for libFuzzer with ASan and UBSan.
if(ORVELLA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ORVELLA_FUZZ needs clang (configure with CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -g)
  # Sized delete, so that the address sanitizer sees a block freed as the wrong type.
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fsized-deallocation>)
  add_link_options(-fsanitize=address,undefined)
endif()

# orvella_use_alsa_test_card(target): the sound card of the tests and benches
# (tests/support/AlsaTestCard.h), an ALSA device that takes frames in real
# time, built as the module ALSA loads by the path `target` is given.
function(orvella_use_alsa_test_card target)
  if(NOT TARGET alsa_clock_pcm)
    pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET GLOBAL alsa)
    add_library(alsa_clock_pcm MODULE ${CMAKE_SOURCE_DIR}/tests/support/alsa_clock_pcm.c)
    target_compile_definitions(alsa_clock_pcm PRIVATE PIC)
    target_link_libraries(alsa_clock_pcm PRIVATE PkgConfig::ALSA)
    set_target_properties(alsa_clock_pcm PROPERTIES AUTOMOC OFF LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  endif()
  add_dependencies(${target} alsa_clock_pcm)
  target_compile_definitions(${target} PRIVATE ALSA_CLOCK_PCM="$<TARGET_FILE:alsa_clock_pcm>")
endfunction()
