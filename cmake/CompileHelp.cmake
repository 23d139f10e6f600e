# Compiles the help project into a .chm: cmake -DSOURCE=<folder> -DWORK=<folder>
# -DPROJECT=<name>.hhp -DOUTPUT=<file.chm> -DCHMCMD=<program> -P CompileHelp.cmake
# The sources are copied into WORK first, as the compiler writes beside its project.
# A message of the compiler that names an error (a missing file or anchor) fails the
# build, so that broken help never ships.
#
# The same sources in the same folder give the same bytes: chmcmd writes the time of
# compilation into the file and orders some of its tables by memory address. With
# SOURCE_DATE_EPOCH set (dpkg-buildpackage sets it from the changelog), every clock
# and random source it asks the kernel for answers that time (strace's syscall
# tampering), and it runs without address randomisation and with an empty
# environment. Where strace cannot trace (no strace, ptrace forbidden), the help is
# compiled plainly and says so.
file(REMOVE_RECURSE "${WORK}")
file(COPY "${SOURCE}/" DESTINATION "${WORK}")

# le64(<value> <out>): a little-endian 64-bit number as strace's hexadecimal poke data.
function(le64 value out)
  set(hex "")
  foreach(i RANGE 7)
    math(EXPR byte "(${value} >> (8 * ${i})) & 255" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" byte "${byte}")
    string(LENGTH "${byte}" length)
    if(length EQUAL 1)
      set(byte "0${byte}")
    endif()
    string(APPEND hex "${byte}")
  endforeach()
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

set(command "${CHMCMD}" --no-html-scan "${PROJECT}")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  find_program(STRACE strace)
  find_program(SETARCH setarch)
  set(traceable 1)
  if(STRACE AND SETARCH)
    execute_process(COMMAND "${STRACE}" -qq -f -o /dev/null -e trace=none true
                    RESULT_VARIABLE traceable OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(traceable EQUAL 0)
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    le64(${epoch} seconds)
    set(timeval "${seconds}0000000000000000")   # tv_sec, then tv_usec or tv_nsec 0
    set(command env -i "${SETARCH}" -R "${STRACE}" -qq -f -o /dev/null
        -e trace=time,gettimeofday,clock_gettime,getrandom
        -e inject=time:retval=${epoch}:poke_exit=@arg1=${seconds}
        -e inject=gettimeofday:poke_exit=@arg1=${timeval}
        -e inject=clock_gettime:poke_exit=@arg2=${timeval}
        -e inject=getrandom:poke_exit=@arg1=${seconds}
        ${command})
  else()
    message(WARNING "strace cannot trace here: the help file carries the time of this build")
  endif()
endif()

execute_process(COMMAND ${command}
                WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX REPLACE "\\.hhp$" ".chm" compiled "${PROJECT}")
if(NOT result EQUAL 0 OR "${out}${err}" MATCHES "Error|corrupt" OR NOT EXISTS "${WORK}/${compiled}")
  message(FATAL_ERROR "Help compiler failed:\n${out}${err}")
endif()
file(COPY_FILE "${WORK}/${compiled}" "${OUTPUT}")
