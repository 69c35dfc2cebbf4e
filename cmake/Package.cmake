# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, made by CPack's DEB generator from the same install rules as `cmake --install`
# (scripts/package.sh runs it on the release build). dpkg-shlibdeps computes the library dependencies
# from the programs; the release history and the maintainer come from res/debian/changelog.
# CPack rather than a debian/ folder built by dpkg-buildpackage: the package holds the release build the
# tests ran, laid out by the one set of install rules, with no second build and no debhelper; the few
# things debhelper would do (compressed documents, modes, stripping) are done here and in
# cmake/PackageFinish.cmake.

# What a Debian package adds to the install: the copyright file and the changelog, under the package's
# own documentation folder. They stay out of a plain `cmake --install`, which is not a package.
set(KELVORA_DEB_DOCS ${PROJECT_BINARY_DIR}/debian)
file(MAKE_DIRECTORY ${KELVORA_DEB_DOCS})
# A native package (no Debian revision in its version) keeps its Debian-format changelog as changelog.gz.
add_custom_command(OUTPUT ${KELVORA_DEB_DOCS}/changelog.gz
                   COMMAND gzip -9 -n -c ${KELVORA_CHANGELOG} > ${KELVORA_DEB_DOCS}/changelog.gz
                   DEPENDS ${KELVORA_CHANGELOG}
                   VERBATIM)
add_custom_target(kelvora_deb_docs ALL DEPENDS ${KELVORA_DEB_DOCS}/changelog.gz)
add_dependencies(kelvora_installables kelvora_deb_docs)
install(FILES ${KELVORA_DEB_DOCS}/changelog.gz ${PROJECT_SOURCE_DIR}/res/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvora COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_KELVORA_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageFinish.cmake)
# Both components in the one package: the install rules' default one and the Debian documents.
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME kelvora)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The device font is found through fontconfig at run time, so no library names its package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-dejavu-core)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "curve fitting of two-parameter models on a handheld screen
Kelvora is a small curve-fitting laboratory on an emulated handheld screen
shown in a desktop window. Type or load a table of measured points, pick
one of sixteen two-parameter models, and read the parameters A and B, the
residual standard deviation S and a plot of the points with the fitted
curve. Each model is fitted by least squares on its straight-line form.
.
The package also holds kelvora-fit, which fits points files on the command
line (standard errors, confidence intervals, a least-squares refinement on
Y, JSON and CSV output, PNG plots), and kelvora-replay, which runs the
program on a scripted headless device and saves its screens.")

include(CPack)
