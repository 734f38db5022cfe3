# Cost that puts a test ahead of every other in ctest's order.
set(TOVAMET_PINNED_COST 1000)

# add_wine_test(NAME name COMMAND target [args...] [SCREEN WxH] [DPI n] [PIN])
# Registers a test that runs a Windows program under Wine in a prefix of its
# own, on an X server of its own; SCREEN gives it a Wine virtual desktop of that
# size, DPI sets the logical DPI, PIN gives the process one core and the item's
# idle-priority threads the kernel's idle scheduling class.
function(add_wine_test)
    cmake_parse_arguments(WT "PIN" "NAME;SCREEN;DPI;TIMEOUT" "COMMAND" ${ARGN})
    list(POP_FRONT WT_COMMAND target)
    set(runner_args)
    if(WT_SCREEN)
        list(APPEND runner_args --screen ${WT_SCREEN})
    endif()
    if(WT_DPI)
        list(APPEND runner_args --dpi ${WT_DPI})
    endif()
    if(WT_PIN)
        list(APPEND runner_args --pin)
    endif()
    add_test(NAME ${WT_NAME}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run ${runner_args} --
                     $<TARGET_FILE:${target}> ${WT_COMMAND})
    if(NOT WT_TIMEOUT)
        set(WT_TIMEOUT 300)
    endif()
    set_tests_properties(${WT_NAME} PROPERTIES TIMEOUT ${WT_TIMEOUT}
                         ENVIRONMENT "TOVAMET_BUILD_DIR=${PROJECT_BINARY_DIR}")
    if(WT_PIN)
        # Pinned runs measure core 0: never two at once. They form the suite's
        # longest chain, so they start first, before the other runs take
        # every core and the pinned ones would wait for them.
        set_tests_properties(${WT_NAME} PROPERTIES RESOURCE_LOCK core0 COST ${TOVAMET_PINNED_COST})
    endif()
endfunction()
