# SPDX-License-Identifier: MIT
import array
import mmap
import os
from typing import Iterable, Literal, overload

__version__: str
# 65001, the code page number of UTF-8: the default.
UTF8: int
# Pages of this many bytes (10 MiB) or more are refused.
MAX_PAGE_BYTES: int

class Error(Exception): ...
class PageTooLargeError(Error): ...
class ReportTooLargeError(Error): ...
class ConversionError(Error): ...
class NoRootError(Error): ...

_Page = bytes | bytearray | memoryview | mmap.mmap | array.array[int] | str
_Name = str | bytes
# A str or bytes is a list of names split at "," and ";"; an iterable one name per item.
_Names = _Name | Iterable[_Name] | None
_Text = Literal["written", "reported"]
# Elements (a list of dicts), raw blocks (a list of str) or the doctype (str or None).
_Result = list[dict[_Name, str]] | list[str] | str | None
_BytesResult = list[dict[_Name, bytes]] | list[bytes] | bytes | None

_Path = str | bytes | os.PathLike[str] | os.PathLike[bytes]

# Values are str, or bytes with as_bytes=True.
@overload
def extract(page: _Page, tag: _Name, attrs: _Names = None, *, codepage: int = UTF8,
            text: _Text = "written", as_bytes: Literal[False] = False) -> _Result: ...
@overload
def extract(page: _Page, tag: _Name, attrs: _Names = None, *, codepage: int = UTF8,
            text: _Text = "written", as_bytes: Literal[True]) -> _BytesResult: ...
@overload
def extract(page: _Page, tag: _Name, attrs: _Names = None, *, codepage: int = UTF8,
            text: _Text = "written", as_bytes: bool = False) -> _Result | _BytesResult: ...
@overload
def extract_file(path: _Path, tag: _Name, attrs: _Names = None, *, codepage: int = UTF8,
                 text: _Text = "written", as_bytes: Literal[False] = False) -> _Result: ...
@overload
def extract_file(path: _Path, tag: _Name, attrs: _Names = None, *, codepage: int = UTF8,
                 text: _Text = "written", as_bytes: Literal[True]) -> _BytesResult: ...
@overload
def extract_file(path: _Path, tag: _Name, attrs: _Names = None, *, codepage: int = UTF8,
                 text: _Text = "written", as_bytes: bool = False) -> _Result | _BytesResult: ...
def _read_page(path: _Path, *, regular_only: bool) -> bytes: ...
# The names attrs stands for in extract, as a list.
def _attribute_names(attrs: _Names) -> list[_Name]: ...
