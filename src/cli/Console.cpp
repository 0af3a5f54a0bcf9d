// SPDX-License-Identifier: MIT
// Console: one write call per 64 KiB block of output.
#include "cli/Console.h"

#include <string>

#include "base/platform.h"

namespace kestrune {

bool Console::put(std::string_view bytes) {
    if (capture_ == nullptr) return platform::writeStandardOutput(bytes.data(), bytes.size());
    capture_->append(bytes);
    return true;
}

void Console::writeNow(std::string_view bytes) {
    if (flush() && !put(bytes)) failed_ = true;
}

bool Console::flush() {
    if (failed_) {
        pending_.clear();
        return false;
    }
    if (pending_.empty()) return true;
    if (!put(pending_.view())) {
        failed_ = true;
        // Standard output is what failed, so the message goes to standard error.
        std::string message =
            "Error: standard output could not be written: " + platform::errorText() + ".\r\n";
        platform::writeStandardError(message.data(), message.size());
    }
    pending_.clear();
    return !failed_;
}

}  // namespace kestrune
