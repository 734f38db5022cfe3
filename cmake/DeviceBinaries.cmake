# The two libraries that ship to the device, and the code that goes into them.
#
# tovamet_device_code(target): builds the target's sources small (-Os), without
# C++ exceptions or type information, and with every function and datum in a
# section of its own, so a shipped library carries its own code and the
# platform's start-up, not a desktop runtime. Tests and benchmarks that link
# such a library keep their own settings. In the device tree the compile
# driver (toolchain/compile.py) gives every object these options, one set for
# all, so there this adds nothing.
#
# tovamet_shipped_library(target): a device library. It links with unused
# sections dropped and gives, in ${TOVAMET_SHIPPED_DIR}, the stripped copy
# that the package holds, <target>.dll (made by the target <target>_shipped),
# and the link map that tells which input gave each byte, <target>.map.
set(TOVAMET_SHIPPED_DIR ${CMAKE_BINARY_DIR}/shipped)
file(MAKE_DIRECTORY ${TOVAMET_SHIPPED_DIR})

function(tovamet_device_code target)
    if(NOT TOVAMET_ARM_WINCE)
        target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Os -fno-exceptions
                               -fno-rtti -ffunction-sections -fdata-sections>)
    endif()
endfunction()

function(tovamet_shipped_library target)
    tovamet_device_code(${target})
    target_link_options(${target} PRIVATE -Wl,--gc-sections
                        -Wl,-Map=${TOVAMET_SHIPPED_DIR}/${target}.map)
    set(shipped ${TOVAMET_SHIPPED_DIR}/${target}.dll)
    add_custom_command(
        OUTPUT ${shipped}
        COMMAND ${CMAKE_STRIP} --strip-all -o ${shipped} $<TARGET_FILE:${target}>
        DEPENDS ${target}
        VERBATIM)
    add_custom_target(${target}_shipped ALL DEPENDS ${shipped})
endfunction()
