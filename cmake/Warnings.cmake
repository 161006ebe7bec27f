# Our own C++ targets build warning-free; vendored code is left alone.
# GCC 12 reports -Wrestrict inside libstdc++'s own string concatenation at -O3
# (GCC bug 105651, fixed in GCC 13): not a fault of the code that calls it.
function(corvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
    $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
endfunction()
