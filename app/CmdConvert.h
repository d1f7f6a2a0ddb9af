#pragma once
// canhost convert: a CAN log from any format into any other, frame by frame.
#include <string>
#include <vector>

namespace app {

inline constexpr const char* kConvertUsage =
    "usage: canhost convert IN OUT [--channel NAME]... [--from S] [--to S] [--trc-version V]\n"
    "  Converts the CAN log IN (candump -L, Vector ASC, BLF or PEAK TRC, told from its content\n"
    "  and name) into OUT, in the format OUT's extension names: .log candump, .asc ASC, .blf\n"
    "  BLF, .trc TRC; any other name candump. Frame by frame: memory stays the same however long\n"
    "  the log. Times are kept to the microsecond (to the nanosecond from BLF to BLF), and the\n"
    "  channels, identifiers, data, remote, CAN FD, bit-rate switch, error state and direction\n"
    "  of every frame. OUT appears whole when the conversion is done, or not at all.\n"
    "  --channel NAME    only the frames of this channel as IN names it (\"can0\"; ASC, BLF,\n"
    "                    TRC: \"1\"); repeatable\n"
    "  --from S          only frames S seconds or more after IN's first frame\n"
    "  --to S            only frames up to S seconds after IN's first frame\n"
    "  --trc-version V   2.1 (default) or 1.1 (classic frames of one channel only)\n"
    "  Lines or objects of IN that cannot be read are reported with their place (the first 20,\n"
    "  then a count) and left out; the exit code is then 1. A frame OUT cannot hold (TRC 1.1)\n"
    "  stops the conversion with exit code 1.\n";

int RunConvert(const std::vector<std::string>& args);

}  // namespace app
