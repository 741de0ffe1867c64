# The flags a Debian package build compiles and links with: hardening (stack
# protector, fortified functions, read-only relocations bound at start-up) and paths
# in the binary that do not depend on where it was built. They come from
# dpkg-buildflags with full hardening; DEB_BUILD_MAINT_OPTIONS from the environment
# is applied after that, so a packager can still turn a feature off.
option(KV_DPKG_BUILDFLAGS "Compile and link with the flags dpkg-buildflags gives, where it exists" OFF)
if(NOT KV_DPKG_BUILDFLAGS)
    return()
endif()
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
    message(STATUS "dpkg-buildflags not found: building with the compiler's own defaults")
    return()
endif()
foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env
                "DEB_BUILD_MAINT_OPTIONS=hardening=+all $ENV{DEB_BUILD_MAINT_OPTIONS}"
                ${DPKG_BUILDFLAGS} --get ${kind}
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(kv_${kind} UNIX_COMMAND "${flags}")
endforeach()
foreach(flag ${kv_CPPFLAGS} ${kv_CXXFLAGS})
    add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${flag}>")
endforeach()
foreach(flag ${kv_CPPFLAGS} ${kv_CFLAGS})
    add_compile_options("$<$<COMPILE_LANGUAGE:C>:${flag}>")
endforeach()
add_link_options(${kv_LDFLAGS})
message(STATUS "Building with the flags of dpkg-buildflags")
