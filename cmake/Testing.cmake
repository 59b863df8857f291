# GoogleTest for both builds, compiled from the sources Debian ships, so that the Windows build
# gets a MinGW-compiled copy.
enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(WIN32)
  target_link_options(gtest PUBLIC -static)
endif()

# vaq_test(name SOURCES ... LIBS ...): one test program, one ctest entry. Under Wine each program
# runs as one process, which keeps the per-process start-up cost of Wine off every test case.
function(vaq_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  if(WIN32)
    target_link_options(${name} PRIVATE -static)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
endfunction()
