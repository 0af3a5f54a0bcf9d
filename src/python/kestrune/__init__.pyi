# SPDX-License-Identifier: MIT
import os
from typing import Iterable, Literal

__version__: str

class Error(Exception): ...
class PageTooLargeError(Error): ...
class ConversionError(Error): ...
class NoRootError(Error): ...

_Page = bytes | bytearray | memoryview | str
_Name = str | bytes
_Names = Iterable[_Name] | _Name | None
_Text = Literal["written", "reported"]
# Elements (a list of dicts), raw blocks (a list of str) or the doctype (str or None).
_Result = list[dict[_Name, str]] | list[str] | str | None
_BytesResult = list[dict[_Name, bytes]] | list[bytes] | bytes | None

_Path = str | bytes | os.PathLike[str] | os.PathLike[bytes]

# Values are str, or bytes with as_bytes=True.
def extract(page: _Page, tag: _Name, attrs: _Names = None, *, codepage: int = 65001,
            text: _Text = "written", as_bytes: bool = False) -> _Result | _BytesResult: ...
def extract_file(path: _Path, tag: _Name, attrs: _Names = None, *, codepage: int = 65001,
                 text: _Text = "written", as_bytes: bool = False) -> _Result | _BytesResult: ...
