#include "cli/Options.h"
namespace kestrune {
Options::Options() : commandLine(std::make_unique<CommandLine>()) {}
Options::~Options() = default;
bool Options::parse(int, const char* const*, Console&) { return false; }
}  // namespace kestrune
