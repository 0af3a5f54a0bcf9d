#include "cli/entry.h"
#include "cli/Options.h"
namespace kestrune {
int runProgram(int argc, const char* const* argv, Console& console) {
    Options options;
    return options.parse(argc, argv, console) ? 1 : 0;
}
}  // namespace kestrune
