# SPDX-License-Identifier: MIT
# The Python reference: the package kestrune and kestrune.dask from their docstrings,
# imported from the built package (PYTHONPATH=<build>/python). Built by the CMake
# target "reference" with sphinx-build -W -E, so that any warning fails it.
#
# The same sources give the same pages: no dates (SOURCE_DATE_EPOCH fixes any Sphinx
# writes), no copies of the sources, and no scripts: the pages are plain HTML and CSS,
# without the search page and the script files Sphinx copies in (jQuery, underscore,
# its own), which a Debian package must not carry.
import os

import kestrune

project = "Kestrune"
author = "The Kestrune authors"
copyright = author
version = release = kestrune.__version__

extensions = ["sphinx.ext.autodoc"]
templates_path = ["templates"]
# Quotes and dashes as written ("!--" stays "!--").
smartquotes = False
exclude_patterns = ["templates"]
autodoc_member_order = "bysource"
# kestrune.dask is documented without Dask too (python3-distributed missing): its
# imports are then stood in for.
try:
    import dask.bag  # noqa: F401
except ImportError:
    autodoc_mock_imports = ["dask", "distributed"]
autodoc_default_options = {"members": True}
# The methods of the compiled classes take their signatures from the first line of
# their docstrings (autodoc_docstring_signature).

html_theme = "basic"
html_title = f"Kestrune {release} for Python"
html_last_updated_fmt = None
html_copy_source = False
html_show_sourcelink = False
html_use_index = True
html_domain_indices = False
html_sidebars = {"**": ["localtoc.html", "relations.html"]}


def as_written(app, what, name, obj, options, lines):
    """The docstrings are plain text: one of several lines, laid out by hand, is shown as
    it is written, as a literal block, rather than read as reStructuredText."""
    if len([line for line in lines if line.strip()]) > 1:
        lines[:] = ["::", ""] + ["    " + line for line in lines] + [""]


def without_scripts(app, exception):
    """Removes the script files and the search page, which no page refers to."""
    if exception is not None or app.builder.format != "html":
        return
    static = os.path.join(app.outdir, "_static")
    for name in os.listdir(static):
        if name.endswith(".js"):
            os.remove(os.path.join(static, name))
    for name in ("search.html", "searchindex.js", ".buildinfo"):
        path = os.path.join(app.outdir, name)
        if os.path.exists(path):
            os.remove(path)


def setup(app):
    app.connect("autodoc-process-docstring", as_written)
    app.connect("build-finished", without_scripts)
