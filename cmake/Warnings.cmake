# Every target of the project links morvak_warnings: the strict warning set.
# Warnings become errors only where asked (MORVAK_WERROR, which CI turns on),
# so that a build with another compiler or at another optimisation level,
# whose analyses may warn where ours do not, still gives a working program.
option(MORVAK_WERROR "Treat compiler warnings as errors" OFF)
add_library(morvak_warnings INTERFACE)
target_compile_options(morvak_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
  $<$<BOOL:${MORVAK_WERROR}>:-Werror>)
