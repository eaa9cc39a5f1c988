# Winelib targets inside the one build tree. Native targets use the host
# compiler directly; winelib targets run the same compile and link lines
# through winegcc/wineg++ by way of a launcher.

# Debian's wine64-tools keeps the tools in /usr/lib/wine; only the "wine"
# package adds them to /usr/bin.
find_program(WINEGXX wineg++ PATHS /usr/lib/wine REQUIRED)
find_program(WIDL widl PATHS /usr/lib/wine REQUIRED)
find_program(WRC wrc PATHS /usr/lib/wine REQUIRED)
find_program(WINEBUILD winebuild PATHS /usr/lib/wine REQUIRED)

set(WINE_INCLUDE_DIR /usr/include/wine/wine/windows CACHE PATH "Wine's Windows headers (for widl)")
set(WINELIB_LAUNCHER ${PROJECT_SOURCE_DIR}/tools/cmake/winegxx)
set(WINE_BIN_DIR ${PROJECT_BINARY_DIR}/bin)
set(GEN_DIR ${PROJECT_BINARY_DIR}/gen)
file(MAKE_DIRECTORY ${WINE_BIN_DIR} ${GEN_DIR})

# Compile (and, for modules, link) a target as winelib code.
function(winelib_target target)
    set_target_properties(${target} PROPERTIES
        C_COMPILER_LAUNCHER ${WINELIB_LAUNCHER}
        CXX_COMPILER_LAUNCHER ${WINELIB_LAUNCHER}
        C_LINKER_LAUNCHER ${WINELIB_LAUNCHER}
        CXX_LINKER_LAUNCHER ${WINELIB_LAUNCHER})
    target_compile_definitions(${target} PRIVATE NOMINMAX)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${GEN_DIR})
endfunction()

function(add_winelib_library target)
    add_library(${target} STATIC ${ARGN})
    winelib_target(${target})
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# widl: header, GUID definitions and (with TYPELIB) type library of one IDL
# file, written to ${GEN_DIR}/<subdir>/. Sets <name>_IDL_HEADER,
# <name>_IDL_IIDS and <name>_IDL_TLB in the caller's scope.
function(add_idl name idl subdir)
    cmake_parse_arguments(ARG "TYPELIB" "" "" ${ARGN})
    set(out ${GEN_DIR}/${subdir})
    file(MAKE_DIRECTORY ${out})
    get_filename_component(base ${idl} NAME_WE)
    get_filename_component(idl_abs ${idl} ABSOLUTE)
    set(h ${out}/${base}.h)
    set(iids ${out}/${base}_i.c)
    set(tlb ${out}/${base}.tlb)
    set(widl_cmd ${WIDL} --win64 -I${WINE_INCLUDE_DIR} -I${PROJECT_SOURCE_DIR})
    if(ARG_TYPELIB)
        set(tlb_out ${tlb})
        set(tlb_cmd COMMAND ${widl_cmd} -t -o ${tlb} ${idl_abs})
    endif()
    add_custom_command(OUTPUT ${h} ${iids} ${tlb_out}
        COMMAND ${widl_cmd} -h -o ${h} ${idl_abs}
        COMMAND ${widl_cmd} -u -o ${iids} ${idl_abs}
        ${tlb_cmd}
        DEPENDS ${idl_abs}
        COMMENT "widl ${base}.idl")
    set(${name}_IDL_HEADER ${h} PARENT_SCOPE)
    set(${name}_IDL_IIDS ${iids} PARENT_SCOPE)
    set(${name}_IDL_TLB ${tlb} PARENT_SCOPE)
endfunction()

# wrc: one .rc file to .res. The resource compiler runs in WORKDIR so that
# files named in the script (type libraries, pictures) are found there
# first, then in the script's own folder.
function(add_resources out_var rc)
    cmake_parse_arguments(ARG "" "WORKDIR" "DEPENDS;INCLUDES" ${ARGN})
    get_filename_component(rc_abs ${rc} ABSOLUTE)
    get_filename_component(rc_dir ${rc_abs} DIRECTORY)
    get_filename_component(base ${rc} NAME_WE)
    set(res ${ARG_WORKDIR}/${base}.res)
    set(incs -I${ARG_WORKDIR} -I${rc_dir} -I${PROJECT_SOURCE_DIR} -I${GEN_DIR})
    foreach(i ${ARG_INCLUDES})
        list(APPEND incs -I${i})
    endforeach()
    add_custom_command(OUTPUT ${res}
        COMMAND ${WRC} --nostdinc -I${WINE_INCLUDE_DIR} ${incs} -o ${res} ${rc_abs}
        WORKING_DIRECTORY ${ARG_WORKDIR}
        DEPENDS ${rc_abs} ${ARG_DEPENDS}
        COMMENT "wrc ${base}.rc")
    set(${out_var} ${res} PARENT_SCOPE)
endfunction()

# A winelib DLL (<name>.dll.so) with its exports from a .spec file, plus the
# PE placeholder <name>.dll beside it that Wine needs to find the module by
# path (the placeholder also carries the resources, so type libraries load
# from it before the DLL itself is loaded). Wine looks for the .so under the
# lower-cased module name.
function(add_winelib_dll target)
    cmake_parse_arguments(ARG "" "EXPORTS;RES" "SOURCES;LIBS" ${ARGN})
    add_library(${target} SHARED ${ARG_SOURCES})
    winelib_target(${target})
    get_filename_component(exports ${ARG_EXPORTS} ABSOLUTE)
    string(TOLOWER ${target} so_name)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${so_name} PREFIX "" SUFFIX ".dll.so" NO_SONAME ON
        LIBRARY_OUTPUT_DIRECTORY ${WINE_BIN_DIR}
        LINK_DEPENDS "${exports};${ARG_RES}")
    target_link_options(${target} PRIVATE ${exports} ${ARG_RES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS})
    if(ARG_RES)
        add_custom_target(${target}_res DEPENDS ${ARG_RES})
        add_dependencies(${target} ${target}_res)
        set(res_arg ${ARG_RES})
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${WINEBUILD} -m64 --dll --fake-module -E ${exports} -F ${target}.dll
                -o ${WINE_BIN_DIR}/${target}.dll ${res_arg}
        COMMENT "placeholder ${target}.dll")
endfunction()

# A winelib program (<name>.exe.so) and its placeholder <name>.exe.
function(add_winelib_exe target)
    cmake_parse_arguments(ARG "CONSOLE" "RES" "SOURCES;LIBS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    winelib_target(${target})
    string(TOLOWER ${target} so_name)
    if(ARG_CONSOLE)
        set(mode -mconsole)
        set(subsystem console)
    else()
        set(mode -mwindows)
        set(subsystem windows)
    endif()
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${so_name} SUFFIX ".exe.so"
        RUNTIME_OUTPUT_DIRECTORY ${WINE_BIN_DIR}
        LINK_DEPENDS "${ARG_RES}")
    target_link_options(${target} PRIVATE ${mode} ${ARG_RES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS})
    if(ARG_RES)
        add_custom_target(${target}_res DEPENDS ${ARG_RES})
        add_dependencies(${target} ${target}_res)
        set(res_arg ${ARG_RES})
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${WINEBUILD} -m64 --exe --subsystem=${subsystem} --fake-module -F ${target}.exe
                -o ${WINE_BIN_DIR}/${target}.exe ${res_arg}
        COMMENT "placeholder ${target}.exe")
endfunction()

# Pure C++ code that both native tests and winelib modules use: built once
# for each (winelib objects use 2-byte wchar_t and Wine's defines).
function(add_dual_library target)
    add_library(${target} STATIC ${ARGN})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    add_winelib_library(${target}_wine ${ARGN})
endfunction()
