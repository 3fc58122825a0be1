#pragma once
// Test support: every fopen and every open(2) for reading of the test program
// passes through here, so that
// a test can change a file at the very moment the run opens it (between a
// step's measuring and its reading, say). Only a program that links
// morvak_fopen_hook is affected; everything else reaches the C library unchanged.
#include <functional>
#include <string>

namespace morvak::testing {

// From now on, `action` runs once on the opening thread, just before the
// `nth` (1-based) fopen of exactly `path`. Replaces an earlier arming.
void ArmFopen(const std::string& path, int nth, std::function<void()> action);
void DisarmFopen();
// The fopens of the armed path since it was armed.
int ArmedFopens();

}  // namespace morvak::testing
