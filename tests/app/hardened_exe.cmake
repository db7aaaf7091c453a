# cmake -DOBJDUMP=... -DEXE=... -DDEFINITIONS=a|b|... -P hardened_exe.cmake: fails unless the exe is hardened as
# the platform's own toolchain builds: dynamic base, high-entropy VA, NX and terminal-server flags in its PE
# header, stack cookies (libssp's report among its bytes), and its sources built with _FORTIFY_SOURCE=2.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+\r?\n)*" flags "${dump}")
string(REGEX MATCHALL "[A-Z_]+" found "${flags}")
string(REPLACE "|" ";" definitions "${DEFINITIONS}")
file(STRINGS ${EXE} cookies REGEX "stack smashing detected")
if(cookies)
  list(APPEND found stack_cookies)
endif()
set(missing HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE _FORTIFY_SOURCE=2 stack_cookies)
list(REMOVE_ITEM missing ${found} ${definitions})
if(missing)
  message(FATAL_ERROR "not hardened, missing: ${missing}\n${flags}")
endif()
