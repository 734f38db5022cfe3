# Cross-build for ARM Windows CE (Pocket PC) with the bare ARM compiler and the
# arm-mingw32ce binutils (toolchain/build-binutils), through the compile and
# link driver toolchain/compile.py. TOVAMET_ARM_BIN: the binutils' bin
# directory.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TOVAMET_ARM_WINCE ON)
if(NOT TOVAMET_ARM_BIN)
    message(FATAL_ERROR "TOVAMET_ARM_BIN: the arm-mingw32ce binutils' bin directory")
endif()
# CMake calls one program as compiler and linker; the driver needs the tools.
set(driver ${CMAKE_BINARY_DIR}/arm-wince-cxx)
get_filename_component(compile_driver ${CMAKE_CURRENT_LIST_DIR}/../toolchain/compile.py ABSOLUTE)
file(WRITE ${driver} "#!/bin/sh\nexec python3 ${compile_driver} --bin ${TOVAMET_ARM_BIN} \"$@\"\n")
file(CHMOD ${driver} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
# The driver is not a compiler CMake can question: it is named, not probed.
set(CMAKE_C_COMPILER ${driver})
set(CMAKE_CXX_COMPILER ${driver})
set(CMAKE_C_COMPILER_FORCED TRUE)
set(CMAKE_CXX_COMPILER_FORCED TRUE)
set(CMAKE_C_COMPILER_ID GNU)
set(CMAKE_CXX_COMPILER_ID GNU)
# The driver checks its compilers and tells their version; a missing one
# stops the configuration by name.
execute_process(COMMAND ${driver} --version OUTPUT_VARIABLE gcc_version
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE checked)
if(NOT checked EQUAL 0)
    message(FATAL_ERROR "the device build's compilers: see the line above")
endif()
set(CMAKE_C_COMPILER_VERSION ${gcc_version})
set(CMAKE_CXX_COMPILER_VERSION ${gcc_version})
set(CMAKE_RC_COMPILER ${TOVAMET_ARM_BIN}/arm-mingw32ce-windres)
set(CMAKE_AR ${TOVAMET_ARM_BIN}/arm-mingw32ce-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOVAMET_ARM_BIN}/arm-mingw32ce-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${TOVAMET_ARM_BIN}/arm-mingw32ce-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${TOVAMET_ARM_BIN}/arm-mingw32ce-objdump CACHE FILEPATH "")
