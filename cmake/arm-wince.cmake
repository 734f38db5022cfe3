# Cross-build for ARM Windows CE (Pocket PC) with the bare ARM compiler and the
# arm-mingw32ce binutils (scripts/toolchain/build-binutils), through the
# compile and link driver beside this file. TOVAMET_ARM_BIN: the binutils'
# bin directory.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TOVAMET_ARM_WINCE ON)
if(NOT TOVAMET_ARM_BIN)
    message(FATAL_ERROR "TOVAMET_ARM_BIN: the arm-mingw32ce binutils' bin directory")
endif()
# CMake calls one program as compiler and linker; the driver needs the tools.
set(driver ${CMAKE_BINARY_DIR}/arm-wince-cxx)
file(WRITE ${driver} "#!/bin/sh\nexec python3 ${CMAKE_CURRENT_LIST_DIR}/arm-wince/compile.py --bin ${TOVAMET_ARM_BIN} \"$@\"\n")
file(CHMOD ${driver} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
# The driver is not a compiler CMake can question: it is named, not probed.
set(CMAKE_C_COMPILER ${driver})
set(CMAKE_CXX_COMPILER ${driver})
set(CMAKE_C_COMPILER_FORCED TRUE)
set(CMAKE_CXX_COMPILER_FORCED TRUE)
set(CMAKE_C_COMPILER_ID GNU)
set(CMAKE_CXX_COMPILER_ID GNU)
set(CMAKE_C_COMPILER_VERSION 12.2.1)
set(CMAKE_CXX_COMPILER_VERSION 12.2.1)
set(CMAKE_RC_COMPILER ${TOVAMET_ARM_BIN}/arm-mingw32ce-windres)
set(CMAKE_AR ${TOVAMET_ARM_BIN}/arm-mingw32ce-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOVAMET_ARM_BIN}/arm-mingw32ce-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${TOVAMET_ARM_BIN}/arm-mingw32ce-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${TOVAMET_ARM_BIN}/arm-mingw32ce-objdump CACHE FILEPATH "")
