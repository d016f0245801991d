# vantry_kernel_library(NAME EXPORTS <file> SOURCES ... AVX2_SOURCES ...)
#
# Builds the static implementation library NAME_impl (linked by the tests that compare the portable
# and the AVX2 paths) and the shared library NAME that exports exactly the names listed in the
# EXPORTS file, one per line. Sources listed under AVX2_SOURCES are compiled for AVX2 and only
# called after a run-time check of the processor.
function(vantry_kernel_library name)
    cmake_parse_arguments(ARG "" "EXPORTS" "SOURCES;AVX2_SOURCES;ENTRY_SOURCES" ${ARGN})
    if(ARG_SOURCES OR ARG_AVX2_SOURCES)
        add_library(${name}_impl STATIC ${ARG_SOURCES} ${ARG_AVX2_SOURCES})
        target_include_directories(${name}_impl PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
        set_target_properties(${name}_impl PROPERTIES
            C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
        if(ARG_AVX2_SOURCES)
            set_source_files_properties(${ARG_AVX2_SOURCES} TARGET_DIRECTORY ${name}_impl
                PROPERTIES COMPILE_OPTIONS "-mavx2")
        endif()
    endif()

    # The export list doubles as a linker version script, so nothing else can leak out.
    file(STRINGS ${ARG_EXPORTS} exported)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
    list(JOIN exported "; " joined)
    file(WRITE ${script} "{ global: ${joined}; local: *; };\n")

    add_library(${name} SHARED ${ARG_ENTRY_SOURCES})
    if(TARGET ${name}_impl)
        target_link_libraries(${name} PRIVATE ${name}_impl)
    endif()
    target_compile_definitions(${name} PRIVATE VANTRY_KERNEL_BUILD)
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    set_target_properties(${name} PROPERTIES
        C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
        LINK_DEPENDS ${script})
    target_link_options(${name} PRIVATE "-Wl,--version-script=${script}" "-Wl,--exclude-libs,ALL")
    # clang's sanitizer runtime comes with the executable, so a fuzz build leaves it undefined.
    if(NOT VANTRY_BUILD_FUZZ)
        target_link_options(${name} PRIVATE "-Wl,--no-undefined")
    endif()
endfunction()
