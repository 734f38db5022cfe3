# The device tree (build/arm): the two shipped libraries for ARM Windows CE
# from the same sources as the Windows tree, with the start-up, runtime
# helpers, inline functions and import libraries of device_runtime/. The
# compile driver gives every object the same code-generation options; only
# the definitions and warnings are set here.
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 _WIN32_WCE=0x420)
add_compile_options(-Wall -Wextra -Werror)
# Resources: mingw-w64's resource headers through the mingw preprocessor, the
# values are the same for the device.
set(CMAKE_RC_FLAGS "--preprocessor=x86_64-w64-mingw32-gcc --preprocessor-arg=-E --preprocessor-arg=-xc-header --preprocessor-arg=-DRC_INVOKED")
set(CMAKE_CXX_CREATE_SHARED_LIBRARY "<CMAKE_CXX_COMPILER> --link -o <TARGET> <LINK_FLAGS> <OBJECTS> <LINK_LIBRARIES>")
set(CMAKE_SHARED_LIBRARY_PREFIX "")
# The exports come from the library's .def file only.
set(CMAKE_LINK_DEF_FILE_FLAG "--def-file=")
include(cmake/DeviceBinaries.cmake)
add_subdirectory(device_runtime)
add_subdirectory(item)
add_subdirectory(setup)
# Where the device tools are, for the checks that read the device libraries.
file(WRITE ${CMAKE_BINARY_DIR}/toolchain-bin "${TOVAMET_ARM_BIN}\n")
