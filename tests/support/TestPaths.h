#pragma once
// Where the tests and benchmarks find the source tree, ../shared and the built programs. The
// folders are compiled into one generated source of the build tree (cmake/TestSupport.cmake), so
// no other compile line carries an absolute path and a second clone's objects come from ccache.
#include <filesystem>

namespace testing_support {

std::filesystem::path SourceDir();
std::filesystem::path SharedDir();
std::filesystem::path BinDir();

}  // namespace testing_support
