// SPDX-License-Identifier: MIT
// A global operator new that fails on demand, for tests of what running out of
// memory does. Only the test programs linked with kestrune_failing_new have it.
#pragma once

namespace kestrune::testing {

// Operator new grants `granted` more allocations, then fails once (std::bad_alloc,
// or null from the nothrow forms) and grants every one after it. Negative: never
// fails (the default).
void failNewAfter(long long granted);
// While on, every allocation fails.
void refuseNew(bool on);
// Blocks operator new gave that are not freed yet.
long long liveNewBlocks();

}  // namespace kestrune::testing
