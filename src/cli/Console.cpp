// SPDX-License-Identifier: MIT
// Console: one write call per 64 KiB block of output.
#include "cli/Console.h"

#include "base/platform.h"

namespace kestrune {

void Console::flush() {
    if (pending_.empty()) return;
    if (capture_ != nullptr) {
        capture_->append(pending_.view());
    } else {
        platform::writeStandardOutput(pending_.view().data(), pending_.size());
    }
    pending_.clear();
}

}  // namespace kestrune
