# Installs the program the way a Linux desktop finds it, and builds a Debian package of that with CPack.
# Only the executables and the window's desktop files are installed: tests, benchmarks and fuzz targets
# never are. varnetik-slave, the slave simulator, comes along so that the window can be tried without a
# device.
include(GNUInstallDirs)

# One reverse-DNS id names the desktop entry, the icon and the AppStream record, which refer to each other.
set(VARNETIK_APP_ID example.varnetik.Varnetik)
set(varnetik_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

# A release entry for every version keeps software centres from showing an old version number.
set(varnetik_metainfo_in ${varnetik_packaging_dir}/${VARNETIK_APP_ID}.metainfo.xml.in)
file(READ ${varnetik_metainfo_in} varnetik_metainfo)
string(FIND "${varnetik_metainfo}" "<release version=\"${PROJECT_VERSION}\"" varnetik_release_at)
if(varnetik_release_at EQUAL -1)
  message(FATAL_ERROR "${varnetik_metainfo_in} has no release entry for ${PROJECT_VERSION}")
endif()

# Debian wants the changelog of every package, compressed; its newest entry must be this version too.
set(varnetik_changelog ${varnetik_packaging_dir}/changelog)
file(STRINGS ${varnetik_changelog} varnetik_changelog_top LIMIT_COUNT 1)
if(NOT varnetik_changelog_top MATCHES "^varnetik \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "${varnetik_changelog} does not begin with an entry for ${PROJECT_VERSION}")
endif()
# -n leaves the file's name and time out of the archive, so the same changelog gives the same bytes.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
                   COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${varnetik_changelog}
                           ${PROJECT_BINARY_DIR}/packaging/changelog.gz
                   DEPENDS ${varnetik_changelog} VERBATIM)
add_custom_target(varnetik_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)

# The web addresses are build options; characters that mean something in XML are escaped.
function(varnetik_xml_escape out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
varnetik_xml_escape(VARNETIK_METAINFO_HOMEPAGE "${VARNETIK_MAKER_URL}")
varnetik_xml_escape(VARNETIK_METAINFO_DONATION "${VARNETIK_DONATION_URL}")
configure_file(${varnetik_metainfo_in}
               ${PROJECT_BINARY_DIR}/packaging/${VARNETIK_APP_ID}.metainfo.xml @ONLY)

install(TARGETS varnetik varnetik-slave RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${varnetik_packaging_dir}/${VARNETIK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/varnetik.png
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/32x32/apps
        RENAME ${VARNETIK_APP_ID}.png)
install(FILES ${PROJECT_BINARY_DIR}/packaging/${VARNETIK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
# Debian looks for the licence of every package in this one file, in its machine-readable format.
install(FILES ${varnetik_packaging_dir}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/varnetik)
# The udev rule for FTDI adapters is shipped but not active: it would change the adapter for every
# program, so the user copies it into /etc/udev/rules.d when wanted (see the README).
install(FILES ${varnetik_packaging_dir}/99-varnetik-ftdi-latency.rules
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/varnetik/udev)

if(VARNETIK_BUILD_TESTS)
  add_test(NAME varnetik_install_layout
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DSCRATCH=${PROJECT_BINARY_DIR}/install-layout-check -DAPP_ID=${VARNETIK_APP_ID}
                   -P ${CMAKE_CURRENT_LIST_DIR}/CheckInstall.cmake)
endif()

set(CPACK_PACKAGE_NAME varnetik)
set(CPACK_PACKAGE_VENDOR "${VARNETIK_VENDOR}")
set(CPACK_PACKAGE_CONTACT "Varnetik <info@varnetik.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Modbus master for commissioning devices over RTU and TCP")
# Debian's lines of the long description stay within 80 columns, counting the one space dpkg puts first.
set(CPACK_PACKAGE_DESCRIPTION
    "Varnetik talks to one Modbus slave at a time, over a serial line (Modbus RTU)\n\
or over TCP (Modbus TCP): it reads and writes registers and logs every request\n\
and response as a hexadecimal dump. The program's texts are German. Serial\n\
ports need membership in the group dialout. varnetik-slave, a Modbus slave\n\
simulator with fault injection, lets the window be tried without a device\n\
(varnetik-slave --help).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VARNETIK_MAKER_URL}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The library dependencies with their minimum versions come from dpkg-shlibdeps (package dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without it Qt draws through XWayland on a Wayland desktop, which works; it is only suggested because it
# brings Qt Quick and QML along, which a widgets program does not use.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS qt6-wayland)

include(CPack)
