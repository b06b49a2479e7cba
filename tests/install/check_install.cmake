# Installs the build into a fresh prefix and checks that every file a user needs is there.
#   cmake -DBUILD=<build dir> -DPREFIX=<empty dir> [-DWINDOWS=ON -DEMULATOR=<runner>] -P check_install.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}" RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${rc})")
endif()
if(WINDOWS)
    # One folder: unpacked anywhere, velloran.exe starts.
    set(expected velloran.exe velra-script.exe velra-script-preview.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll
        libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll imageformats/qjpeg.dll
        translations/qtbase_ja.qm README.md manual/index.html "はじめにお読みください.txt")
    set(programs "${PREFIX}/velra-script.exe" "${PREFIX}/velloran.exe")
else()
    set(expected
        bin/velloran
        bin/velra-script
        bin/velra-script-preview
        share/applications/velloran.desktop
        share/mime/packages/velloran.xml
        share/icons/hicolor/16x16/apps/velloran.png
        share/icons/hicolor/32x32/apps/velloran.png
        share/icons/hicolor/48x48/apps/velloran.png
        share/icons/hicolor/64x64/apps/velloran.png
        share/icons/hicolor/128x128/apps/velloran.png
        share/icons/hicolor/256x256/apps/velloran.png
        share/doc/velloran/README.md
        share/doc/velloran/copyright
        share/doc/velloran/manual/index.html)
    set(programs "${PREFIX}/bin/velra-script" "${PREFIX}/bin/velloran")
endif()
foreach(f IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${f}")
        message(FATAL_ERROR "missing after install: ${f}")
    endif()
endforeach()
if(NOT WINDOWS)
    file(READ "${PREFIX}/share/applications/velloran.desktop" desktop)
    foreach(line "Name=Velloran" "Exec=velloran %f" "Icon=velloran" "Categories=Graphics;" "Comment[ja]="
                 "MimeType=application/x-velloran-settings;")
        string(FIND "${desktop}" "${line}" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "velloran.desktop lacks ${line}")
        endif()
    endforeach()
    # The settings files' type as the desktop reads it: *.velra, and the content's first line.
    find_program(update_mime update-mime-database)
    if(update_mime)
        set(data "${PREFIX}/mime-check")
        file(MAKE_DIRECTORY "${data}/mime/packages")
        file(COPY "${PREFIX}/share/mime/packages/velloran.xml" DESTINATION "${data}/mime/packages")
        execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_DATA_DIRS=${data} ${update_mime} "${data}/mime"
                        RESULT_VARIABLE rc ERROR_VARIABLE complaints)
        file(READ "${data}/mime/globs2" globs)
        file(READ "${data}/mime/magic" magic HEX) # binary: "Velloran settings " in hexadecimal
        if(NOT rc EQUAL 0 OR complaints OR NOT globs MATCHES "application/x-velloran-settings:\\*\\.velra"
           OR NOT magic MATCHES "56656c6c6f72616e2073657474696e677320")
            message(FATAL_ERROR "velloran.xml does not give *.velra its type: ${complaints}${globs}")
        endif()
        file(REMOVE_RECURSE "${data}")
    endif()
    find_program(validate desktop-file-validate)
    if(validate)
        execute_process(COMMAND ${validate} "${PREFIX}/share/applications/velloran.desktop" RESULT_VARIABLE rc OUTPUT_VARIABLE said ERROR_VARIABLE said)
        if(NOT rc EQUAL 0 OR said MATCHES "error")
            message(FATAL_ERROR "velloran.desktop: ${said}")
        endif()
    endif()
endif()
list(GET programs 0 script)
list(GET programs 1 wizard)
execute_process(COMMAND ${EMULATOR} "${script}" --version OUTPUT_VARIABLE version RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT version MATCHES "^velra-script \\(Velloran\\) [0-9]")
    message(FATAL_ERROR "installed velra-script --version printed: ${version}")
endif()
execute_process(COMMAND ${EMULATOR} "${wizard}" --version OUTPUT_VARIABLE version RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT version MATCHES "^Velloran \\(VELRA\\) [0-9]")
    message(FATAL_ERROR "installed velloran --version printed: ${version}")
endif()
# --help too prints and ends, with no display to open a window on.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY ${EMULATOR} "${wizard}" --help
                OUTPUT_VARIABLE help RESULT_VARIABLE rc TIMEOUT 30)
if(NOT rc EQUAL 0 OR NOT help MATCHES "^使い方: velloran")
    message(FATAL_ERROR "installed velloran --help printed: ${help}")
endif()
message(STATUS "install layout complete in ${PREFIX}")
