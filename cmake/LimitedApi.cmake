# The oldest CPython whose limited API the extensions use: the one place it
# is set. Python_add_library(USE_SABI) defines Py_LIMITED_API for the modules
# from it; CORVANE_LIMITED_API spells the same value the same way (0x03090000)
# for the static libraries linked into them, so that the two never disagree.
set(CORVANE_PYTHON_ABI 3.9)

string(REPLACE "." ";" corvane_abi_parts ${CORVANE_PYTHON_ABI})
set(CORVANE_LIMITED_API 0x)
foreach(part IN LISTS corvane_abi_parts)
  math(EXPR part "${part}" OUTPUT_FORMAT HEXADECIMAL)
  string(REGEX REPLACE "^0x" "" part ${part})
  string(LENGTH ${part} digits)
  if(digits EQUAL 1)
    set(part "0${part}")
  endif()
  string(APPEND CORVANE_LIMITED_API ${part})
endforeach()
string(APPEND CORVANE_LIMITED_API 0000)
