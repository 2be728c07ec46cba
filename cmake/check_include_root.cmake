# Compiles PROBE, then UPWARD, with COMPILER and the include directories
# INCLUDES (parted by "|"): PROBE must compile, and UPWARD must fail with the
# one error that REFUSED is not found.
string(REPLACE "|" ";" folders "${INCLUDES}")
set(flags "")
foreach(folder IN LISTS folders)
  list(APPEND flags -I${folder})
endforeach()
execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only ${flags} ${PROBE}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the include directories reach other folders than they should:\n${out}")
endif()
execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only ${flags} ${UPWARD}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(REGEX MATCHALL "error:[^\n]*" errors "${out}")
list(LENGTH errors count)
string(REPLACE "." "\\." refused "${REFUSED}")
if(status EQUAL 0)
  message(FATAL_ERROR "an include of ${REFUSED} compiled")
elseif(NOT count EQUAL 1 OR NOT out MATCHES "${refused}['\"]?:? (No such file or directory|file not found)")
  message(FATAL_ERROR "an include of ${REFUSED} failed otherwise than for want of the file:\n${out}")
endif()
message(STATUS "an include of ${REFUSED} is refused")
