# Run by CPack on the package's tree before it makes the package: the
# compilers' .comment section goes from the programs, as Debian's own
# stripping does (CPack then moves the debug symbols to tavra-dbgsym).
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*"
                   "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/lib/tavra/*")
if(NOT programs)
  message(FATAL_ERROR "no programs in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND objcopy --remove-section=.comment "${program}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objcopy could not change ${program}")
  endif()
endforeach()
