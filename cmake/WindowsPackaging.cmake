# The Windows installer (NSIS) and the portable zip of varnetik.exe and varnetik-slave.exe, made by the
# target windows-packages, which scripts/package-windows builds. Nothing else depends on it, so the
# cross build and its tests do not need NSIS.
find_program(VARNETIK_MAKENSIS makensis)
# A build without the window has nothing to install.
if(NOT TARGET varnetik)
  return()
endif()

set(varnetik_windows_name varnetik-${PROJECT_VERSION})
set(varnetik_windows_staging ${PROJECT_BINARY_DIR}/windows-package/${varnetik_windows_name})
set(varnetik_windows_setup ${PROJECT_BINARY_DIR}/${varnetik_windows_name}-setup.exe)
set(varnetik_windows_zip ${PROJECT_BINARY_DIR}/${varnetik_windows_name}-windows-x64.zip)
set(varnetik_windows_sources ${PROJECT_SOURCE_DIR}/packaging/windows)

# The texts get Windows line ends, so that every editor there shows their lines.
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${varnetik_windows_staging}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${varnetik_windows_sources}/LIESMICH.txt ${varnetik_windows_staging}/LIESMICH.txt @ONLY
               NEWLINE_STYLE CRLF)

# Windows wants four numbers in a file's version resource.
set(varnetik_windows_version_numeric ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
foreach(part PATCH TWEAK)
  if(PROJECT_VERSION_${part} STREQUAL "")
    string(APPEND varnetik_windows_version_numeric .0)
  else()
    string(APPEND varnetik_windows_version_numeric .${PROJECT_VERSION_${part}})
  endif()
endforeach()

add_custom_command(
  OUTPUT ${varnetik_windows_setup} ${varnetik_windows_zip}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:varnetik> $<TARGET_FILE:varnetik-slave>
          ${varnetik_windows_staging}
  # The symbols are of no use to a user and make up much of a static program's size.
  COMMAND ${CMAKE_STRIP} ${varnetik_windows_staging}/$<TARGET_FILE_NAME:varnetik>
          ${varnetik_windows_staging}/$<TARGET_FILE_NAME:varnetik-slave>
  COMMAND ${VARNETIK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION}
          -DVERSION_NUMERIC=${varnetik_windows_version_numeric} -DPUBLISHER=${VARNETIK_VENDOR}
          -DFILES=${varnetik_windows_staging} -DICON=${PROJECT_SOURCE_DIR}/assets/varnetik.ico
          -DOUTFILE=${varnetik_windows_setup} ${varnetik_windows_sources}/varnetik.nsi
  # The zip holds one folder, so that unpacking it does not scatter the files.
  COMMAND ${CMAKE_COMMAND} -E tar cf ${varnetik_windows_zip} --format=zip ${varnetik_windows_name}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/windows-package
  DEPENDS varnetik varnetik-slave ${varnetik_windows_sources}/varnetik.nsi
          ${varnetik_windows_staging}/LICENSE.txt ${varnetik_windows_staging}/LIESMICH.txt
          ${PROJECT_SOURCE_DIR}/assets/varnetik.ico
  VERBATIM)
add_custom_target(windows-packages DEPENDS ${varnetik_windows_setup} ${varnetik_windows_zip})
