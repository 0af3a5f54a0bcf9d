// SPDX-License-Identifier: MIT
// For tests and benchmarks only: the references a report run's fast paths are compared
// with. The program and the library always take the default paths.
#pragma once

#include "query/extractElements.h"
#include "query/reportRun.h"

namespace kestrune {

// How attribute names are looked up: the finder's choice, or one way only.
enum class NameLookUp { Auto, OneByOne, Search };

struct ReferencePaths {
    bool fromTree = false;  // every mode through the tree
    RootSettling settling = RootSettling::Early;
    NameLookUp lookUp = NameLookUp::Auto;
};

// runReport along the given paths.
Status runReport(const PageSource& page, const RunRequest& request, Findings& findings,
                 const ReferencePaths& paths);

}  // namespace kestrune
