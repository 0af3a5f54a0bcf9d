// The extraction run. Until the document model exists it reports nothing.
#include "cli/driver.h"

namespace kestrune {

int runExtraction(const Options&, Console&) { return 1; }

}  // namespace kestrune
