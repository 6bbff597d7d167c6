# Options every target of the project compiles with. Private to each target,
# so a host that links the installed library inherits none of them.

# Warnings stay on everywhere; several image operations must match their
# formulas to the last bit, so no fused multiply-add may change a rounding.
function(kestrel_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -ffp-contract=off)
endfunction()

# The library's own code: symbols hidden unless a header marks them for
# export, and calls inside the library bound directly (nothing interposes
# the library's own functions, so they may also be inlined).
function(kestrel_library_options target)
  kestrel_target_options(${target})
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(${target} PRIVATE -fno-semantic-interposition)
  endif()
endfunction()
