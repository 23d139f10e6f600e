# The help compiled twice from the same sources in the same folder, a second apart,
# with one SOURCE_DATE_EPOCH, must give the same bytes (and a readable file).
#   cmake -DSOURCE=<help sources> -DWORK=<scratch folder> -DCHMCMD=<program>
#         -DCOMPILE=<CompileHelp.cmake> -P HelpIsReproducible.cmake
set(ENV{SOURCE_DATE_EPOCH} 1700000000)
file(REMOVE_RECURSE "${WORK}")
foreach(run 1 2)
  execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE=${SOURCE} -DWORK=${WORK}/chm
                          -DPROJECT=vorlixbackup.hhp -DOUTPUT=${WORK}/run${run}.chm
                          -DCHMCMD=${CHMCMD} -P ${COMPILE}
                  RESULT_VARIABLE result ERROR_VARIABLE err)
  if(NOT result EQUAL 0 OR err MATCHES "strace cannot trace")
    message(FATAL_ERROR "compiling the help failed or was not pinned:\n${err}")
  endif()
  if(run EQUAL 1)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E sleep 1.1)   # another second of the clock
  endif()
endforeach()
file(SHA256 "${WORK}/run1.chm" first)
file(SHA256 "${WORK}/run2.chm" second)
file(SIZE "${WORK}/run1.chm" size)
if(NOT first STREQUAL second OR size LESS 4096)
  message(FATAL_ERROR "two compilations differ (${first} / ${second}) or are empty (${size} bytes)")
endif()
file(REMOVE_RECURSE "${WORK}")
