# ORVIK_SANITIZE: empty, "address,undefined" or "thread". Applied to every
# target of the project through orvik_set_sanitizers().
set(ORVIK_SANITIZE "" CACHE STRING "Sanitizers to build with (address,undefined | thread)")

function(orvik_set_sanitizers target)
  if(ORVIK_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${ORVIK_SANITIZE}
                           -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=${ORVIK_SANITIZE})
  endif()
endfunction()

# orvik_target_defaults(TARGET): warnings and sanitizers together.
function(orvik_target_defaults target)
  orvik_set_warnings(${target})
  orvik_set_sanitizers(${target})
endfunction()
