# The Debian packages, one per install component, installed under /usr:
#   vantrel-thumbnailer      (component thumbnailer) the thumbnailer, its
#                            desktop entry and the MIME type
#   vantrel-thumbnailer-kde  (component kde) the KDE thumbnail plugin, built
#                            when KIO's development files are there; it needs
#                            the first for the MIME type, so that GNOME and
#                            XFCE users never pull in KDE's libraries
# dpkg-shlibdeps names the shared libraries each needs; shared-mime-info's
# trigger rebuilds the MIME database. The target vantrel-deb-files builds
# everything they hold.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME vantrel-thumbnailer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrova)
set(CPACK_PACKAGE_CONTACT "${VANTREL_DEB_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_COMPONENTS_ALL thumbnailer)
set(CPACK_DEBIAN_THUMBNAILER_PACKAGE_NAME vantrel-thumbnailer)
set(CPACK_DEBIAN_THUMBNAILER_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_THUMBNAILER_PACKAGE_RECOMMENDS shared-mime-info)
set(CPACK_COMPONENT_THUMBNAILER_DESCRIPTION
  "thumbnails of NC part programs for file managers\n"
  "Pictures of CNC part programs (ISO G-code and TNC conversational) in the\n"
  "desktop's file managers: the tool path of milling programs in XY and of\n"
  "turning programs in XZ, with an optional axis symbol, the program's first\n"
  "comments and its dialect. It serves GNOME Files, Thunar and every file\n"
  "manager that reads freedesktop thumbnailer entries.")
string(JOIN "" CPACK_COMPONENT_THUMBNAILER_DESCRIPTION ${CPACK_COMPONENT_THUMBNAILER_DESCRIPTION})

add_custom_target(vantrel-deb-files)
add_dependencies(vantrel-deb-files vantrel-thumbnailer vantrel-man-pages vantrel-package-docs)

if(TARGET vantrelthumbnail)
  list(APPEND CPACK_COMPONENTS_ALL kde)
  set(CPACK_DEBIAN_KDE_PACKAGE_NAME vantrel-thumbnailer-kde)
  set(CPACK_DEBIAN_KDE_PACKAGE_SECTION kde)
  set(CPACK_DEBIAN_KDE_PACKAGE_DEPENDS "vantrel-thumbnailer (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_KDE_PACKAGE_ENHANCES dolphin)
  set(CPACK_COMPONENT_KDE_DESCRIPTION
    "thumbnails of NC part programs in KDE's Dolphin\n"
    "The thumbnail plugin of KDE's file manager for CNC part programs (ISO\n"
    "G-code and TNC conversational): the same pictures as vantrel-thumbnailer\n"
    "gives GNOME Files and Thunar, drawn inside KDE's thumbnail worker.")
  string(JOIN "" CPACK_COMPONENT_KDE_DESCRIPTION ${CPACK_COMPONENT_KDE_DESCRIPTION})
  add_dependencies(vantrel-deb-files vantrelthumbnail)
endif()
include(CPack)
