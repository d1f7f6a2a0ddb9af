#pragma once
// The Qt application of a test program that shows windows: offscreen (no display needed), one for
// the whole program (Qt allows one per process), and the folder its pictures go to.
#include <string>

namespace testing_support {

// [ui] Registers a gtest environment that creates the offscreen Qt application before the first
// test and destroys it after the last; `program` is its name. Returns true, so that it can
// initialise a namespace-scope constant of the test file.
bool UseOffscreenQt(const char* program);

// A picture file `name` in the build folder's ui-png/ (created), for a person to look at.
std::string PngPath(const std::string& name);

}  // namespace testing_support
