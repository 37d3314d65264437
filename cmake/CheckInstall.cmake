# Installs a built tree into a scratch DESTDIR and checks that exactly the program and the files a desktop
# looks for arrive, at the places it looks, and that they name each other correctly.
#
#   cmake -DBUILD_DIR=<build> -DSCRATCH=<dir> -DAPP_ID=<id> -P CheckInstall.cmake
foreach(var BUILD_DIR SCRATCH APP_ID)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${SCRATCH})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${SCRATCH} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

# Anything else installed, such as a test, benchmark or fuzz program, would end up in the package too.
set(expected
  usr/bin/varnetik
  usr/bin/varnetik-slave
  usr/share/applications/${APP_ID}.desktop
  usr/share/doc/varnetik/changelog.gz
  usr/share/doc/varnetik/copyright
  usr/share/icons/hicolor/32x32/apps/${APP_ID}.png
  usr/share/metainfo/${APP_ID}.metainfo.xml
  usr/share/varnetik/udev/99-varnetik-ftdi-latency.rules)
list(SORT expected)
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${SCRATCH} ${SCRATCH}/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " installed_lines "${installed}")
  string(REPLACE ";" "\n  " expected_lines "${expected}")
  message(FATAL_ERROR "Installed files:\n  ${installed_lines}\nexpected:\n  ${expected_lines}")
endif()

set(failures "")
function(expect_line file regex)
  file(STRINGS ${SCRATCH}/${file} found REGEX "${regex}")
  if(NOT found)
    set(failures "${failures}${file} has no line matching ${regex}\n" PARENT_SCOPE)
  endif()
endfunction()
# A desktop finds the icon by the desktop entry's Icon name, the program through PATH by its Exec name,
# and a software centre the desktop entry by the metainfo's launchable.
string(REPLACE "." "\\." id_regex "${APP_ID}")
expect_line(usr/share/applications/${APP_ID}.desktop "^Icon=${id_regex}$")
expect_line(usr/share/applications/${APP_ID}.desktop "^Exec=varnetik$")
expect_line(usr/share/applications/${APP_ID}.desktop "^Name=Varnetik$")
expect_line(usr/share/applications/${APP_ID}.desktop "^Terminal=false$")
expect_line(usr/share/metainfo/${APP_ID}.metainfo.xml "<id>${id_regex}</id>")
expect_line(usr/share/metainfo/${APP_ID}.metainfo.xml
            "<launchable type=\"desktop-id\">${id_regex}\\.desktop</launchable>")
expect_line(usr/share/metainfo/${APP_ID}.metainfo.xml "<url type=\"homepage\">https://")
expect_line(usr/share/metainfo/${APP_ID}.metainfo.xml "<project_license>MIT</project_license>")
expect_line(usr/share/doc/varnetik/copyright "^License: MIT$")
# The package has no manual page for the slave; its --help is written as one and must work installed.
execute_process(COMMAND ${SCRATCH}/usr/bin/varnetik-slave --help
                RESULT_VARIABLE help_result OUTPUT_VARIABLE help_text ERROR_VARIABLE help_text)
if(NOT help_result EQUAL 0 OR NOT help_text MATCHES "SYNOPSIS.*OPTIONS.*FAULT MODES.*EXIT STATUS")
  string(APPEND failures "usr/bin/varnetik-slave --help (${help_result}) does not read like a manual page\n")
endif()
# A placeholder left unreplaced would be shown to users as it is.
file(STRINGS ${SCRATCH}/usr/share/metainfo/${APP_ID}.metainfo.xml unreplaced REGEX "@[A-Z_]+@")
if(unreplaced)
  string(APPEND failures "metainfo keeps placeholders: ${unreplaced}\n")
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
file(REMOVE_RECURSE ${SCRATCH})
