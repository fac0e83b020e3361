# Checks the dynamic symbol table of the foundation library: run with
#   cmake -DNM=<nm> -DLIBRARY=<libtarsel_orn.so> -P CheckExports.cmake
#
# Every defined dynamic symbol must belong to namespace tarsel::orn: its members and constants, or
# the virtual table, type information or thunks of one of its classes. Allowed besides, because
# the toolchain defines them in every shared object and no code of ours stands behind them:
#   _init, _fini                     the loader's entry and exit hooks of the object
#   _edata, _end, __bss_start        segment-boundary symbols some linkers export
# Everything else (program internals, helpers in tarsel::orn::internal, standard-library template
# instances, sanitizer bookkeeping) is a leak. Each exported class must also be present.
execute_process(COMMAND ${NM} -DC --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}: ${errors}")
endif()
string(REPLACE "\n" ";" lines "${symbols}")
set(leaks "")
set(count 0)
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    continue()
  endif()
  # "<address> <type> <name>"
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  math(EXPR count "${count} + 1")
  if(name MATCHES "^((vtable|typeinfo|typeinfo name|VTT) for |(virtual|non-virtual) thunk to )?tarsel::orn::"
     AND NOT name MATCHES "tarsel::orn::internal::")
    continue()
  endif()
  if(name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$")
    continue()
  endif()
  list(APPEND leaks "${name}")
endforeach()
if(leaks)
  list(JOIN leaks "\n  " text)
  message(FATAL_ERROR "symbols outside tarsel::orn are exported:\n  ${text}")
endif()
foreach(class AAllocator AString AString8 APathComponent APath APathIterator APathReverseIterator
        CorePathUtils AFile CoreFileUtils)
  if(NOT symbols MATCHES "tarsel::orn::${class}::")
    message(FATAL_ERROR "class tarsel::orn::${class} is not exported")
  endif()
endforeach()
message(STATUS "${count} exported symbols, all of tarsel::orn")
