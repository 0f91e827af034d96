// How far a colour came out from the one wanted, as a viewer sees it.
#pragma once

#include "base/Color.h"

#include <cstdlib>

// The mean of the three channels' differences.
inline double ChannelError(TColor Have, TColor Want) {
  double sum = 0;
  for (int shift : {0, 8, 16})
    sum += std::abs(int(Have >> shift & 0xFF) - int(Want >> shift & 0xFF));
  return sum / 3;
}
