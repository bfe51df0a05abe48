// PNG images written by hand for the theme tests: any colour type and bit
// depth, with an optional palette and transparency chunk, so the decoder
// meets exactly the layout a test names.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/gui_types.h"

namespace ui_testing {

inline void PutBe32(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v >> 24));
  out.push_back(static_cast<char>(v >> 16));
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v));
}

inline void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  PutBe32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                           static_cast<uInt>(body.size()))));
}

struct PngSpec {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 8;
  int colorType = 6;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  // Raw scanlines without filter bytes, packed as the PNG stores them.
  std::string rows;
  std::string palette;  // PLTE bytes
  std::string trns;     // tRNS bytes
  // Scanlines actually stored (0: `height`); fewer make a header that
  // claims more than the data holds.
  uint32_t storedRows = 0;
};

inline std::string EncodePng(const PngSpec& spec) {
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  PutBe32(ihdr, spec.width);
  PutBe32(ihdr, spec.height);
  ihdr.push_back(static_cast<char>(spec.bitDepth));
  ihdr.push_back(static_cast<char>(spec.colorType));
  ihdr.append(3, '\0');
  PutChunk(out, "IHDR", ihdr);
  if (!spec.palette.empty()) PutChunk(out, "PLTE", spec.palette);
  if (!spec.trns.empty()) PutChunk(out, "tRNS", spec.trns);
  std::string raw;
  const uint32_t stored = spec.storedRows ? spec.storedRows : spec.height;
  const size_t rowBytes = stored ? spec.rows.size() / stored : 0;
  for (uint32_t y = 0; y < stored; ++y) {
    raw.push_back('\0');
    raw.append(spec.rows, y * rowBytes, rowBytes);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(size);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", "");
  return out;
}

// An RGBA 8-bit PNG of straight ARGB pixels, row after row.
inline std::string EncodeArgbPng(uint32_t width, uint32_t height, const std::vector<ui::ArgbColor>& pixels) {
  PngSpec spec;
  spec.width = width;
  spec.height = height;
  for (ui::ArgbColor c : pixels) {
    spec.rows.push_back(static_cast<char>(ui::RedOf(c)));
    spec.rows.push_back(static_cast<char>(ui::GreenOf(c)));
    spec.rows.push_back(static_cast<char>(ui::BlueOf(c)));
    spec.rows.push_back(static_cast<char>(ui::AlphaOf(c)));
  }
  return EncodePng(spec);
}

// An atlas drawn from text: one character per pixel; '.' is the marker
// colour (opaque cyan), every other character takes its colour from
// `colors` (by character), so tests can draw blobs as pictures.
inline std::vector<ui::ArgbColor> DrawAtlas(const std::vector<std::string>& picture, uint32_t& width,
                                            uint32_t& height) {
  width = picture.empty() ? 0 : static_cast<uint32_t>(picture[0].size());
  height = static_cast<uint32_t>(picture.size());
  std::vector<ui::ArgbColor> pixels;
  for (const std::string& row : picture) {
    for (char c : row) {
      if (c == '.') {
        pixels.push_back(ui::MakeArgb(255, 0, 255, 255));
      } else if (c == ' ') {
        pixels.push_back(0);  // fully transparent: still part of a piece
      } else {
        const auto v = static_cast<uint8_t>(c);
        pixels.push_back(ui::MakeArgb(255, v, static_cast<uint8_t>(v * 3), static_cast<uint8_t>(v * 7)));
      }
    }
  }
  return pixels;
}

inline std::string AtlasPng(const std::vector<std::string>& picture) {
  uint32_t w = 0;
  uint32_t h = 0;
  std::vector<ui::ArgbColor> pixels = DrawAtlas(picture, w, h);
  return EncodeArgbPng(w, h, pixels);
}

}  // namespace ui_testing
