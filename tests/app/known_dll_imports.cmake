# cmake -DOBJDUMP=... -DEXE=... -P known_dll_imports.cmake: fails unless every DLL the exe imports
# is a KnownDLL, which Windows loads from System32 alone, never from the exe's folder.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
string(TOLOWER "${imports}" imports)
string(REGEX REPLACE "dll name: ([^;]+)\\.dll" "\\1" imports "${imports}")
message(STATUS "imports: ${imports}")
list(REMOVE_ITEM imports advapi32 combase comdlg32 gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
     normaliz nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32)
if(imports OR NOT dump MATCHES "DLL Name")
  message(FATAL_ERROR "imports DLLs that are no KnownDLLs (or none at all): ${imports}")
endif()
