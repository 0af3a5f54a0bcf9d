# SPDX-License-Identifier: MIT
# The Debian package python3-kestrune (install component python3-kestrune), included by
# the top-level packaging when the module is built. It holds the module in Debian's
# Python layout and, from packaging/, its copyright file, changelogs and lintian
# overrides; it depends on the Python 3 version it was built for (the extension's file
# name carries that version) and on the libraries dpkg-shlibdeps finds, and suggests
# Dask's distributed scheduler, which kestrune.dask needs.
list(APPEND CPACK_COMPONENTS_ALL python3-kestrune)
set(component PYTHON3-KESTRUNE)
set(CPACK_DEBIAN_${component}_PACKAGE_NAME python3-kestrune)
set(CPACK_DEBIAN_${component}_PACKAGE_SECTION python)
math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
set(CPACK_DEBIAN_${component}_PACKAGE_DEPENDS
    "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${next_minor})")
set(CPACK_DEBIAN_${component}_PACKAGE_SUGGESTS python3-distributed)
set(CPACK_DEBIAN_${component}_DESCRIPTION
    "Python module to extract elements and raw blocks from HTML
This package holds the Python 3 module kestrune. It reads HTML pages with
Kestrune's lenient single-pass parser and returns what is asked of them as
Python data: every element of a tag with its text and chosen attributes,
script blocks, style sheets and comments as raw HTML, or the words of the
document type.
.
Any page, however broken, gives a predictable result, and hostile input is
read in linear time; the parser releases the GIL, so threads scale. The
kestrune.dask module runs the extraction over many pages on a Dask cluster
and writes the findings as JSON lines.")
