#pragma once

namespace tonvela::qt::test {

// The test binary runs itself with these arguments to watch a window end the program: an error
// ends the whole process, so it cannot happen inside the test process.
inline constexpr const char* kChildArgument = "--form14021-child-scenario";
inline constexpr const char* kChildSoundRaisesOverflow = "sound-raises-overflow";
inline constexpr const char* kChildSoundRaisesStdException = "sound-raises-std-exception";

// Loads the real window with a sound that raises at the first tick, answers the message box as a
// user would, and prints what it saw. Returns the program's exit status.
int runChildScenario(int argc, char** argv, const char* scenario);

}  // namespace tonvela::qt::test
