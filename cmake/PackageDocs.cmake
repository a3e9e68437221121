# The documents every Debian package of the product carries in
# /usr/share/doc/<package>: the copyright and a Debian changelog, compressed
# as Debian ships them.
set(VANTREL_DEB_MAINTAINER "Kestrova <vantrel@kestrova.example>")
include(GNUInstallDirs)
add_custom_target(vantrel-package-docs ALL)

# vantrel_install_package_docs(PACKAGE COMPONENT)
function(vantrel_install_package_docs package component)
  set(dir ${CMAKE_BINARY_DIR}/package-docs/${package})
  set(VANTREL_DEB_PACKAGE ${package})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/changelog.in ${dir}/changelog @ONLY)
  add_custom_command(OUTPUT ${dir}/changelog.gz
    COMMAND gzip -9nkf changelog
    DEPENDS ${dir}/changelog WORKING_DIRECTORY ${dir})
  add_custom_target(vantrel-package-docs-${package} DEPENDS ${dir}/changelog.gz)
  add_dependencies(vantrel-package-docs vantrel-package-docs-${package})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/deb/copyright ${dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()
