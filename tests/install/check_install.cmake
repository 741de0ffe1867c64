# Installs the launcher, stripped as the package holds it, into a fresh staging folder
# and checks what arrives: exactly the expected files, a program without the sections
# that only record the build, a valid desktop entry and AppStream metainfo file, and a
# manual page that renders without warnings.
#   cmake -DBUILD_DIR=<build> -P check_install.cmake
set(tmp "$ENV{TMPDIR}")
if(NOT tmp)
    set(tmp /tmp)
endif()
string(RANDOM LENGTH 10 suffix)
set(STAGING "${tmp}/korvath2-install-${suffix}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --strip --prefix "${STAGING}/usr"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
    usr/games/korvath2-launcher
    usr/share/applications/korvath2-launcher.desktop
    usr/share/doc/korvath2-launcher/changelog.gz
    usr/share/doc/korvath2-launcher/copyright
    usr/share/man/man1/korvath2-launcher.1.gz
    usr/share/metainfo/org.korvath2.launcher.metainfo.xml)
foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND expected usr/share/icons/hicolor/${size}x${size}/apps/korvath2-launcher.png)
endforeach()
list(SORT expected)
file(GLOB_RECURSE installed RELATIVE "${STAGING}" LIST_DIRECTORIES false "${STAGING}/*")
list(SORT installed)
if(NOT installed STREQUAL expected)
    string(REPLACE ";" "\n  " installed "${installed}")
    message(FATAL_ERROR "the staging folder holds:\n  ${installed}")
endif()

# Each icon is the size its folder says.
foreach(size 16 22 24 32 48 64 128 256)
    file(READ "${STAGING}/usr/share/icons/hicolor/${size}x${size}/apps/korvath2-launcher.png"
         header LIMIT 24 HEX)
    string(SUBSTRING "${header}" 32 16 dimensions) # IHDR width and height, big-endian
    math(EXPR hex_size "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REPLACE "0x" "" hex_size "${hex_size}")
    string(LENGTH "${hex_size}" length)
    math(EXPR pad "8 - ${length}")
    string(REPEAT "0" ${pad} zeros)
    if(NOT dimensions STREQUAL "${zeros}${hex_size}${zeros}${hex_size}")
        message(FATAL_ERROR "the ${size}x${size} icon has dimensions ${dimensions}")
    endif()
endforeach()

execute_process(COMMAND readelf --section-headers --wide "${STAGING}/usr/games/korvath2-launcher"
                RESULT_VARIABLE result OUTPUT_VARIABLE sections)
if(NOT result EQUAL 0 OR sections MATCHES "] \\.(comment|note|symtab|debug_[a-z_]+) ")
    message(FATAL_ERROR "readelf: ${result}, the program keeps what stripping removes:\n${sections}")
endif()

# Any line but the validators' own success message is a finding.
foreach(check
        "desktop-file-validate;${STAGING}/usr/share/applications/korvath2-launcher.desktop"
        "appstreamcli;validate;--no-net;--pedantic;${STAGING}/usr/share/metainfo/org.korvath2.launcher.metainfo.xml"
        "sh;-c;man --warnings --local-file \"$1\" 2>&1 >/dev/null;man;${STAGING}/usr/share/man/man1/korvath2-launcher.1.gz")
    execute_process(COMMAND ${check} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    string(REGEX REPLACE "(^|\n)✔ Validation was successful\\.\n?" "" out "${out}")
    if(NOT result EQUAL 0 OR NOT out STREQUAL "")
        message(FATAL_ERROR "${check}: ${result}\n${out}")
    endif()
endforeach()
file(REMOVE_RECURSE "${STAGING}")
