// SPDX-License-Identifier: MIT
// Console: one write call per 64 KiB block of output.
#include "cli/Console.h"

#include <string>

#include "base/platform.h"

namespace kestrune {

void Console::writeNow(std::string_view bytes) {
    if (!flush()) return;
    if (capture_ != nullptr) {
        capture_->append(bytes);
    } else if (!platform::writeStandardOutput(bytes.data(), bytes.size())) {
        failed_ = true;
    }
}

bool Console::flush() {
    if (failed_) {
        pending_.clear();
        return false;
    }
    if (pending_.empty()) return true;
    if (capture_ != nullptr) {
        capture_->append(pending_.view());
    } else if (!platform::writeStandardOutput(pending_.view().data(), pending_.size())) {
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
