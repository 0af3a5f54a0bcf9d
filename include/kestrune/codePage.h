// SPDX-License-Identifier: MIT
/// \file
/// The code pages by name, as the library's calls take them: Windows code page numbers.
///
/// \code{.cpp}
///   #include <kestrune/codePage.h>
///
///   static_assert(kestrune::kUtf8 == 65001);
/// \endcode
#pragma once

namespace kestrune {

/// The code page that means "the local one, as the program chooses it": KESTRUNE_CODEPAGE
/// when set, else the system's (936 on Linux).
inline constexpr unsigned kLocalCodePage = 0;
/// UTF-8: the library's default.
inline constexpr unsigned kUtf8 = 65001;

}  // namespace kestrune
