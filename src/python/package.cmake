# SPDX-License-Identifier: MIT
# The Debian package python3-kestrune beside kestrune (included by the top-level
# packaging when the module is built): CPack makes one package per install component.
# It holds the module in Debian's Python layout, its copyright file and changelog, and
# depends on the Python 3 version it was built for (the extension's file name carries
# that version), and on the libraries dpkg-shlibdeps finds. CPack puts the project's
# summary line above this description.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_KESTRUNE_PACKAGE_NAME kestrune)

set(component PYTHON3-KESTRUNE)
set(CPACK_DEBIAN_${component}_PACKAGE_NAME python3-kestrune)
set(CPACK_DEBIAN_${component}_PACKAGE_SECTION python)
math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
set(CPACK_DEBIAN_${component}_PACKAGE_DEPENDS
    "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${next_minor})")
set(CPACK_DEBIAN_${component}_DESCRIPTION
    "This package holds the Python 3 module kestrune. It reads HTML pages with
Kestrune's lenient single-pass parser and returns what is asked of them as
Python data: every element of a tag with its text and chosen attributes,
script blocks, style sheets and comments as raw HTML, or the words of the
document type.
.
Any page, however broken, gives a predictable result, and hostile input is
read in linear time; the parser releases the GIL, so threads scale. The
kestrune.dask module runs the extraction over many pages on a Dask cluster
and writes the findings as JSON lines.")

set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/python3-kestrune)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright DESTINATION ${doc_dir}
        COMPONENT python3-kestrune)
if(KESTRUNE_GZIP)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${doc_dir}
            COMPONENT python3-kestrune)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/src/python/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME python3-kestrune
        COMPONENT python3-kestrune)
