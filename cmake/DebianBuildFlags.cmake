# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's build flags (dpkg-buildflags) with every hardening feature: stack protector,
# _FORTIFY_SOURCE, format checks, RELRO and BIND_NOW, as a Debian package of Halyard is built.
# A Release build takes them whole but for -g: the build type says whether there is debug
# information. Other build types keep their own optimisation and take the hardening alone, without
# _FORTIFY_SOURCE (it needs optimisation) and without the file prefix map (a debugger would no
# longer find the sources).
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
    return()
endif()

function(halyard_buildflag var name)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${name}
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(REMOVE_ITEM flags -g)
    if(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
        list(FILTER flags EXCLUDE REGEX "^(-O[0-9s]*|-ffile-prefix-map=.*|-D_FORTIFY_SOURCE=.*)$")
    endif()
    set(${var} ${flags} PARENT_SCOPE)
endfunction()

halyard_buildflag(cppflags CPPFLAGS)
halyard_buildflag(cflags CFLAGS)
halyard_buildflag(cxxflags CXXFLAGS)
halyard_buildflag(ldflags LDFLAGS)
# Newer dpkg releases add these two to hardening=+all; hardening-check asks for them already.
include(CheckCXXCompilerFlag)
foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "HALYARD_HAS${flag}" have)
    check_cxx_compiler_flag(${flag} ${have})
    if(${have} AND NOT flag IN_LIST cxxflags)
        list(APPEND cflags ${flag})
        list(APPEND cxxflags ${flag})
    endif()
endforeach()
add_compile_options(${cppflags} "$<$<COMPILE_LANGUAGE:C>:${cflags}>" "$<$<COMPILE_LANGUAGE:CXX>:${cxxflags}>")
add_link_options(${ldflags})
