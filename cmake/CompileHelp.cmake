# Compiles the help project into a .chm: cmake -DSOURCE=<folder> -DWORK=<folder>
# -DPROJECT=<name>.hhp -DOUTPUT=<file.chm> -DCHMCMD=<program> -P CompileHelp.cmake
# The sources are copied into WORK first, as the compiler writes beside its project.
# A message of the compiler that names an error (a missing file or anchor) fails the
# build, so that broken help never ships.
file(REMOVE_RECURSE "${WORK}")
file(COPY "${SOURCE}/" DESTINATION "${WORK}")
execute_process(COMMAND "${CHMCMD}" --no-html-scan "${PROJECT}"
                WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX REPLACE "\\.hhp$" ".chm" compiled "${PROJECT}")
if(NOT result EQUAL 0 OR "${out}${err}" MATCHES "Error|corrupt" OR NOT EXISTS "${WORK}/${compiled}")
  message(FATAL_ERROR "Help compiler failed:\n${out}${err}")
endif()
file(COPY_FILE "${WORK}/${compiled}" "${OUTPUT}")
