# Shared build settings and helper functions for every folder of the project.

add_compile_options(-Wall -Wextra -Wshadow)

if(VELTRA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(VELTRA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VELTRA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VELTRA_SANITIZE must be empty, address or thread")
endif()

if(VELTRA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VELTRA_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  # Every library is instrumented for coverage; the fuzzer main comes from the targets.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(Threads REQUIRED)

# veltra_add_library(NAME SOURCES... [DEPS libs...])
# One static library per source folder; includes are written from the repository root
# ("devices/device_list.h"), so the folder of a header is always visible at the include.
function(veltra_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# veltra_add_test(NAME SOURCES... [DEPS libs...] [CONCURRENCY] [E2E])
# A GoogleTest binary; each test case becomes its own ctest entry (and its own process, so
# modules with static state start fresh). CONCURRENCY marks tests that also run under TSan;
# E2E the end-to-end tests of the real program (label e2e, a longer time limit).
set_property(GLOBAL PROPERTY VELTRA_ALL_TESTS "")
set_property(GLOBAL PROPERTY VELTRA_CONCURRENCY_TESTS "")
function(veltra_add_test name)
  cmake_parse_arguments(ARG "CONCURRENCY;E2E" "" "SOURCES;DEPS" ${ARGN})
  if(VELTRA_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE VELTRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                             VELTRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(labels unit)
  set(timeout 300)
  if(ARG_E2E)
    set(labels e2e)
    set(timeout 600)
  endif()
  if(ARG_CONCURRENCY)
    set(labels concurrency)
    set_property(GLOBAL APPEND PROPERTY VELTRA_CONCURRENCY_TESTS ${name})
  endif()
  set_property(GLOBAL APPEND PROPERTY VELTRA_ALL_TESTS ${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${labels}" TIMEOUT ${timeout}
                       ENVIRONMENT "VELTRA_NO_MESSAGE_BOX=1")
endfunction()

# veltra_add_fuzzer(NAME SOURCES... [DEPS libs...]): built only in the fuzz build.
set_property(GLOBAL PROPERTY VELTRA_FUZZERS "")
function(veltra_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT VELTRA_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY VELTRA_FUZZERS ${name})
endfunction()

# veltra_add_test_folder(LIBRARY): the tests of a folder that follow the naming rule: each
# *_test.cpp is one test binary named LIBRARY_<file> (*_concurrency_test.cpp also runs under
# TSan); every *_util.cpp goes into one helper library LIBRARY_test_util that all of them
# link, with the drawing and widget test helpers.
function(veltra_add_test_folder library)
  if(NOT TARGET ${library} OR VELTRA_FUZZ)
    return()
  endif()
  file(GLOB util_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_util.cpp)
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  add_library(${library}_test_util STATIC ${util_sources}
              ${CMAKE_SOURCE_DIR}/tests/gui/toolkit/draw_test_util.cpp)
  target_link_libraries(${library}_test_util PUBLIC ${library} widget_test_util test_util)
  foreach(src IN LISTS test_sources)
    get_filename_component(name ${src} NAME_WE)
    if(name MATCHES "_concurrency_test$")
      veltra_add_test(${library}_${name} SOURCES ${src} DEPS ${library}_test_util CONCURRENCY)
    else()
      veltra_add_test(${library}_${name} SOURCES ${src} DEPS ${library}_test_util)
    endif()
  endforeach()
endfunction()
