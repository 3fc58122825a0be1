# morvak_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [ENVIRONMENT K=V ...])
# One GoogleTest binary and one CTest test of the same name. Tests run with
# a private XDG_RUNTIME_DIR and on Qt's offscreen platform.
function(morvak_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main morvak_warnings)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime;${T_ENVIRONMENT}")
endfunction()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime)
