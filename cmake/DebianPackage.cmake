# The Debian package vantrel-thumbnailer: whatever `cmake --install` puts
# under the prefix, installed under /usr. dpkg-shlibdeps names the shared
# libraries it needs; shared-mime-info's trigger rebuilds the MIME database.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel-thumbnailer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrova)
set(CPACK_PACKAGE_CONTACT "Kestrova <vantrel@kestrova.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "thumbnails of NC part programs for file managers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Pictures of CNC part programs (ISO G-code and TNC conversational) in the\n"
  "desktop's file managers: the tool path of milling programs in XY and of\n"
  "turning programs in XZ, with an optional axis symbol, the program's first\n"
  "comments and its dialect. It serves GNOME Files, Thunar and every file\n"
  "manager that reads freedesktop thumbnailer entries.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS shared-mime-info)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
