# morvak_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [ENVIRONMENT K=V ...])
# One GoogleTest binary and one CTest test of the same name. Tests run with
# a private XDG_RUNTIME_DIR and on Qt's offscreen platform. In a thread
# sanitizer build, accesses that Qt's own (uninstrumented) code makes through
# the sanitizer's interceptors are not reported: Qt synchronises them in ways
# the sanitizer cannot see. Our code's accesses are all still checked; where
# our data crosses threads through Qt, platform/dialog marks the hand-off.
function(morvak_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main morvak_warnings)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(sanitizer_environment "")
  if(MORVAK_TSAN)
    set(sanitizer_environment "TSAN_OPTIONS=ignore_noninstrumented_modules=1")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime;${sanitizer_environment};${T_ENVIRONMENT}")
endfunction()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime)
