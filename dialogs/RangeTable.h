#pragma once
// The standard source dialog's range table turned into a filter table: what the user typed, in any
// order, overlapping or with gaps, becomes a sorted table that covers 0..kMaxCanId exactly once,
// neighbours differing in their active flag; uncovered ends and gaps become active (passing).
//   (10,20,off)                       -> (0,9,on) (10,20,off) (21,max,on)
//   (20,10,on)                        -> (0,max,on)             start and stop swapped
//   (0,99,on) (50,200,off)            -> (0,max,on)             a range starting inside goes
//   (0,9,off) (20,29,off)             -> (0,9,off) (10,19,on) (20,29,off) (30,max,on)
//   (0,9,on) (20,29,on) (40,49,off)   -> (0,39,on) (40,49,off) (50,max,on)
//   (no rows)                         -> (0,max,on)
#include "sources/IdRange.h"

namespace can {

// The table as described above. Values outside 0..kMaxCanId are clamped into it first.
IdRangeList NormaliseRanges(IdRangeList rows);

}  // namespace can
