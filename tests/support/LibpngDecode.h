// libpng as the independent reader the tests hold our PNG files to. Test and
// benchmark use only.
#pragma once

#include "raster/RgbaImage.h"

#include <png.h>

#include <string>
#include <string_view>

struct LibpngPng {
  std::string Error; // empty when libpng read the whole image
  TRgbaImage Image;  // 8-bit RGBA, straight alpha
};

inline LibpngPng LibpngDecode(std::string_view Bytes) {
  LibpngPng out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, Bytes.data(), Bytes.size())) {
    out.Error = image.message;
    return out;
  }
  image.format = PNG_FORMAT_RGBA;
  out.Image = TRgbaImage(int(image.width), int(image.height));
  if (!png_image_finish_read(&image, nullptr, out.Image.Pixels.data(), 0, nullptr)) {
    out.Error = image.message;
    out.Image = {};
  }
  png_image_free(&image);
  return out;
}
