# orvik_set_warnings(TARGET): the project's warning set, on one target.
function(orvik_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                         -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
                         -Woverloaded-virtual -Wformat=2)
  if(ORVIK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
option(ORVIK_WERROR "Treat warnings as errors" OFF)
