# Delay-loaded system DLLs (mingw-w64): the program links an import library that dlltool makes
# with --output-delaylib, so the DLL is loaded on the first call into it rather than at start.
# WinHTTP, Secur32 and CRYPT32 serve only HTTP(S) and FTPS works; loaded at start they bring
# (under Wine) gnutls, krb5, nettle and more into a program that may never deliver over TLS.
# The import library lists every export of the toolchain's own import library, so a function
# the program starts to use later needs no change here.

# Makes a delay-load import library `lib<dll>.a` for each of `dlls` in a folder of its own that
# the linker searches first for `target`, so the libraries that ask for the DLL by name (-l<dll>)
# get it wherever they stand on the link line. The delay-load helper is in the toolchain's
# runtime (libmingwex), which every program links.
function(kw_delay_load target)
    if(NOT KW_WIN32 OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        return()
    endif()
    get_filename_component(_bin "${CMAKE_CXX_COMPILER}" DIRECTORY)
    string(REGEX REPLACE "g\\+\\+(-posix)?$" "" _prefix "${CMAKE_CXX_COMPILER}")
    find_program(KW_DLLTOOL NAMES ${_prefix}dlltool x86_64-w64-mingw32-dlltool HINTS ${_bin} REQUIRED)
    find_program(KW_NM NAMES ${_prefix}nm x86_64-w64-mingw32-nm HINTS ${_bin} REQUIRED)
    set(_libs)
    foreach(dll IN LISTS ARGN)
        find_file(_import_${dll} NAMES lib${dll}.a PATHS /usr/x86_64-w64-mingw32/lib
                  ${CMAKE_FIND_ROOT_PATH}/lib NO_CMAKE_FIND_ROOT_PATH REQUIRED)
        execute_process(COMMAND ${KW_NM} ${_import_${dll}} OUTPUT_VARIABLE _symbols RESULT_VARIABLE _rc)
        if(NOT _rc EQUAL 0)
            message(FATAL_ERROR "kw_delay_load: ${KW_NM} could not read ${_import_${dll}}")
        endif()
        string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@]+" _imports "${_symbols}")
        set(_def "LIBRARY ${dll}.dll\nEXPORTS\n")
        foreach(i IN LISTS _imports)
            string(REPLACE " I __imp_" "" _name "${i}")
            string(APPEND _def "${_name}\n")
        endforeach()
        set(_def_file ${CMAKE_CURRENT_BINARY_DIR}/${dll}_delay.def)
        file(WRITE ${_def_file} "${_def}")
        set(_lib ${CMAKE_CURRENT_BINARY_DIR}/delayload/lib${dll}.a)
        add_custom_command(OUTPUT ${_lib}
                           COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/delayload
                           COMMAND ${KW_DLLTOOL} --input-def ${_def_file} --output-delaylib ${_lib} --dllname ${dll}.dll
                           DEPENDS ${_def_file} VERBATIM)
        list(APPEND _libs ${_lib})
    endforeach()
    add_custom_target(${target}_delay_imports DEPENDS ${_libs})
    add_dependencies(${target} ${target}_delay_imports)
    target_link_directories(${target} BEFORE PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/delayload)
endfunction()
