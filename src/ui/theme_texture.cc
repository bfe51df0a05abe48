#include "ui/theme_texture.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "config/resource_archive.h"

namespace ui {

namespace {

// Per-chunk memory bound for ancillary chunks (text, ICC profiles...): the
// theme needs none of them, so a damaged length never makes us allocate.
constexpr png_alloc_size_t kMaxChunkBytes = 4u << 20;

struct PngSource {
  const unsigned char* data = nullptr;
  size_t size = 0;
  size_t offset = 0;
};

struct PngErrorState {
  std::jmp_buf jump;
  char message[200] = {};
};

void ReadFromSource(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > source->size - source->offset) png_error(png, "truncated PNG data");
  std::memcpy(out, source->data + source->offset, length);
  source->offset += length;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message ? message : "PNG error");
  std::longjmp(state->jump, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Owns the libpng read structures.
struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// The libpng part in isolation: nothing with a destructor is created between
// setjmp and a possible longjmp except what the caller owns.
// Rows are written straight into `pixels` as native 32-bit ARGB words.
bool DecodeRows(PngReader& reader, PngErrorState& state, PngSource& source, std::vector<ArgbColor>& pixels,
                std::vector<png_bytep>& rows, png_uint_32& width, png_uint_32& height) {
  if (setjmp(state.jump)) return false;
  png_set_read_fn(reader.png, &source, ReadFromSource);
  png_set_user_limits(reader.png, ThemeTexture::kMaxDimension, ThemeTexture::kMaxDimension);
  png_set_chunk_malloc_max(reader.png, kMaxChunkBytes);
  png_read_info(reader.png, reader.info);

  int bitDepth = 0;
  int colorType = 0;
  int interlace = 0;
  png_get_IHDR(reader.png, reader.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (width == 0 || height == 0 || width > ThemeTexture::kMaxDimension || height > ThemeTexture::kMaxDimension) {
    png_error(reader.png, "image size out of range");
  }

  // Everything to 8-bit RGBA. Grey and RGB images are opaque; palette
  // images take their alpha from the transparency chunk.
  if (bitDepth == 16) png_set_strip_16(reader.png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_palette_to_rgb(reader.png);
    if (png_get_valid(reader.png, reader.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(reader.png);
  }
  if ((colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) && bitDepth < 8) {
    png_set_expand_gray_1_2_4_to_8(reader.png);
  }
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(reader.png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA)) png_set_add_alpha(reader.png, 0xFF, PNG_FILLER_AFTER);
  // RGBA bytes to the byte order of an ARGB word in memory.
  if constexpr (std::endian::native == std::endian::little) {
    png_set_bgr(reader.png);
  } else {
    png_set_swap_alpha(reader.png);
  }
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(reader.png);
  png_read_update_info(reader.png, reader.info);
  if (png_get_rowbytes(reader.png, reader.info) != size_t{width} * 4) png_error(reader.png, "unexpected row layout");

  pixels.resize(size_t{width} * height);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) {
    rows[y] = reinterpret_cast<png_bytep>(pixels.data() + size_t{y} * width);
  }
  png_read_image(reader.png, rows.data());
  return true;
}

void FillSurface(TextureImage& image) {
  image.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height));
  cairo_surface_t* surface = image.surface.get();
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return;
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    for (int x = 0; x < image.width; ++x) {
      const ArgbColor c = image.At(x, y);
      const uint32_t a = AlphaOf(c);
      const auto mul = [a](uint32_t v) { return (v * a + 127) / 255; };
      row[x] = (a << 24) | (mul(RedOf(c)) << 16) | (mul(GreenOf(c)) << 8) | mul(BlueOf(c));
    }
  }
  cairo_surface_mark_dirty(surface);
}

}  // namespace

bool ThemeTexture::DecodePng(std::string_view bytes, ArgbImage& image, std::string& error) {
  if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) {
    error = "not a PNG image";
    return false;
  }
  PngErrorState state;
  PngReader reader;
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (reader.png == nullptr) {
    error = "out of memory";
    return false;
  }
  reader.info = png_create_info_struct(reader.png);
  if (reader.info == nullptr) {
    error = "out of memory";
    return false;
  }
  PngSource source{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
  std::vector<ArgbColor> pixels;
  std::vector<png_bytep> rows;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  if (!DecodeRows(reader, state, source, pixels, rows, width, height)) {
    error = state.message;
    return false;
  }
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels = std::move(pixels);
  return true;
}

bool ThemeTexture::Cut(const ArgbImage& atlas, std::vector<ArgbImage>& pieces, std::string& error) {
  const int w = atlas.width;
  const int h = atlas.height;
  if (w <= 0 || h <= 0 || atlas.pixels.size() != static_cast<size_t>(w) * h) {
    error = "empty image";
    return false;
  }
  const ArgbColor marker = atlas.pixels[0];

  // One raster pass: each pixel takes the label of its left or upper
  // neighbour, merging the two when both are labelled differently; a new
  // label is created only where neither is. Label 0 is the marker.
  std::vector<uint8_t> labels(atlas.pixels.size(), 0);
  std::array<uint8_t, kMaxLabels + 1> parent{};
  int created = 0;
  const auto find = [&parent](uint8_t label) {
    while (parent[label] != label) {
      parent[label] = parent[parent[label]];
      label = parent[label];
    }
    return label;
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      if (atlas.pixels[i] == marker) continue;
      const uint8_t left = x > 0 ? labels[i - 1] : 0;
      const uint8_t up = y > 0 ? labels[i - w] : 0;
      if (left == 0 && up == 0) {
        if (created == kMaxLabels) {
          error = "too many regions";
          return false;
        }
        ++created;
        parent[created] = static_cast<uint8_t>(created);
        labels[i] = static_cast<uint8_t>(created);
      } else if (left != 0 && up != 0) {
        const uint8_t a = find(left);
        const uint8_t b = find(up);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
        labels[i] = left;
      } else {
        labels[i] = left != 0 ? left : up;
      }
    }
  }

  // Regions in raster order of their first pixel, with bounding boxes.
  struct Region {
    int left, top, right, bottom;
  };
  std::array<int, kMaxLabels + 1> regionOfRoot;
  regionOfRoot.fill(-1);
  std::vector<Region> regions;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      if (labels[i] == 0) continue;
      const uint8_t root = find(labels[i]);
      labels[i] = root;
      int& region = regionOfRoot[root];
      if (region < 0) {
        region = static_cast<int>(regions.size());
        regions.push_back(Region{x, y, x, y});
      } else {
        Region& r = regions[static_cast<size_t>(region)];
        r.left = std::min(r.left, x);
        r.right = std::max(r.right, x);
        r.bottom = y;
      }
    }
  }
  if (regions.empty()) {
    error = "no piece in the atlas";
    return false;
  }

  std::vector<ArgbImage> result(regions.size());
  for (size_t n = 0; n < regions.size(); ++n) {
    const Region& r = regions[n];
    ArgbImage& piece = result[n];
    piece.width = r.right - r.left + 1;
    piece.height = r.bottom - r.top + 1;
    piece.pixels.assign(static_cast<size_t>(piece.width) * piece.height, 0);
    for (int y = r.top; y <= r.bottom; ++y) {
      for (int x = r.left; x <= r.right; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        if (labels[i] != 0 && regionOfRoot[labels[i]] == static_cast<int>(n)) {
          piece.pixels[static_cast<size_t>(y - r.top) * piece.width + (x - r.left)] = atlas.pixels[i];
        }
      }
    }
  }
  pieces = std::move(result);
  return true;
}

ArgbImage ThemeTexture::AddFrame(const ArgbImage& piece) {
  ArgbImage framed;
  framed.width = piece.width + 2;
  framed.height = piece.height + 2;
  framed.pixels.resize(static_cast<size_t>(framed.width) * framed.height);
  for (int y = 0; y < framed.height; ++y) {
    const int sy = std::clamp(y - 1, 0, piece.height - 1);
    for (int x = 0; x < framed.width; ++x) {
      const int sx = std::clamp(x - 1, 0, piece.width - 1);
      framed.pixels[static_cast<size_t>(y) * framed.width + x] =
          piece.pixels[static_cast<size_t>(sy) * piece.width + sx];
    }
  }
  return framed;
}

std::unique_ptr<ThemeTexture> ThemeTexture::FromPng(std::string_view bytes, std::string& error) {
  ArgbImage atlas;
  std::vector<ArgbImage> pieces;
  if (!DecodePng(bytes, atlas, error) || !Cut(atlas, pieces, error)) return nullptr;
  atlas = ArgbImage();
  const bool framed = pieces.size() >= 2;
  auto texture = std::make_unique<ThemeTexture>();
  texture->m_images.reserve(pieces.size());
  for (ArgbImage& piece : pieces) {
    ArgbImage source = framed ? AddFrame(piece) : std::move(piece);
    TextureImage image;
    image.width = source.width;
    image.height = source.height;
    image.pixels = std::move(source.pixels);
    image.framed = framed;
    FillSurface(image);
    if (!image.surface || cairo_surface_status(image.surface.get()) != CAIRO_STATUS_SUCCESS) {
      error = "cannot create a drawing surface";
      return nullptr;
    }
    texture->m_images.push_back(std::move(image));
  }
  return texture;
}

ThemeTextureCache& ThemeTextureCache::Instance() {
  static ThemeTextureCache cache;
  return cache;
}

void ThemeTextureCache::SetSource(const ResourceArchive* archive, std::string themeFolder) {
  m_archive = archive;
  m_themeFolder = std::move(themeFolder);
  m_textures.clear();
}

const ThemeTexture* ThemeTextureCache::Get(const std::string& name, std::string* error) {
  if (auto it = m_textures.find(name); it != m_textures.end()) {
    if (!it->second && error) *error = "texture failed before";
    return it->second.get();
  }
  std::string reason;
  std::unique_ptr<ThemeTexture> texture;
  std::string bytes;
  if (m_archive == nullptr) {
    reason = "no theme source";
  } else if (!m_archive->Get(m_themeFolder + name, bytes)) {
    reason = "no such entry";
  } else {
    texture = ThemeTexture::FromPng(bytes, reason);
  }
  if (!texture && error) *error = reason;
  const ThemeTexture* result = texture.get();
  m_textures.emplace(name, std::move(texture));
  return result;
}

void ThemeTextureCache::Reset() { m_textures.clear(); }

const ThemeTexture* GetTexture(const std::string& name) { return ThemeTextureCache::Instance().Get(name); }

}  // namespace ui
