if(MORVAK_ASAN AND MORVAK_TSAN)
  message(FATAL_ERROR "MORVAK_ASAN and MORVAK_TSAN cannot be combined")
endif()
if(MORVAK_ASAN)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(MORVAK_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# libFuzzer targets (fuzz/). Every library is built with the fuzzer's coverage
# instrumentation and the address and undefined-behaviour sanitizers, so that
# coverage reaches the code under test; only the fuzz targets link the fuzzer
# itself (morvak_fuzz_target).
option(MORVAK_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)
if(MORVAK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "MORVAK_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  if(MORVAK_TSAN)
    message(FATAL_ERROR "MORVAK_FUZZ and MORVAK_TSAN cannot be combined")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
# morvak_fuzz_target(TARGET): makes TARGET a libFuzzer program.
function(morvak_fuzz_target target)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()
