// canhost: the host application of the CAN plug-in on Linux.
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/Commands.h"

int main(int argc, char** argv) {
  // Queues that grew in a burst are given back afterwards (ReleaseAfterBurst, the bus rings). With
  // glibc's default the threshold for blocks of their own mapping rises with each large block
  // freed, so later large blocks come from the heap and their memory is not returned to the
  // system; a fixed threshold keeps every block over 256 kB in a mapping that a free unmaps.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  if (argc > 0) app::SetProgramName(argv[0]);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    app::PrintUsage(false);
    return app::kExitUsage;
  }
  const std::string& first = args.front();
  if (first == "--help" || first == "-h") {
    app::PrintUsage(true);
    return app::kExitOk;
  }
  if (first == "help") {
    if (args.size() == 1) {
      app::PrintUsage(true);
      return app::kExitOk;
    }
    for (const auto& c : app::Commands())
      if (args[1] == c.name) {
        std::fputs(c.usage, stdout);
        return app::kExitOk;
      }
    std::fprintf(stderr, "canhost: unknown command '%s'\n", args[1].c_str());
    app::PrintUsage(false);
    return app::kExitUsage;
  }
  for (const auto& c : app::Commands()) {
    if (first != c.name) continue;
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& a : rest)
      if (a == "--help" || a == "-h") {
        std::fputs(c.usage, stdout);
        return app::kExitOk;
      }
    return c.run(rest);
  }
  std::fprintf(stderr, "canhost: unknown %s '%s'\n",
               first.rfind('-', 0) == 0 ? "option" : "command", first.c_str());
  app::PrintUsage(false);
  return app::kExitUsage;
}
