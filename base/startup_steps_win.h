#pragma once
// Time stamps of start-up's steps, for the build scripts/footprint.sh makes to find where
// start-up time goes (VAQ_STARTUP_STEPS). In every other build the marks compile to nothing.
#if defined(VAQ_STARTUP_STEPS)

namespace vaq {

// Notes the time a step ended and the private bytes then; a step already noted keeps its first.
void MarkStartupStep(const char* step);
// Writes the process's creation time and every step so far to the file that the environment
// variable VAQ_STARTUP_STEPS names, one "<microseconds since 1970> <private bytes> <step>" line
// each ("-" where there is no figure).
void WriteStartupSteps();

}  // namespace vaq

#define VAQ_STARTUP_STEP(step) ::vaq::MarkStartupStep(step)
#define VAQ_STARTUP_STEPS_WRITE() ::vaq::WriteStartupSteps()

#else

#define VAQ_STARTUP_STEP(step) static_cast<void>(0)
#define VAQ_STARTUP_STEPS_WRITE() static_cast<void>(0)

#endif
