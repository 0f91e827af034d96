// The codec error a call raises, or -1 when it raises none.
#pragma once

#include "gif/GifType.h"

#include <functional>

inline int ErrorCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const EInvalidGraphicOperation& e) {
    return e.Code();
  }
  return -1;
}
