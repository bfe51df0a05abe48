#include "gzip_encode.h"

#include <zlib.h>

#include <algorithm>

namespace product_server {

bool GzipEncode(std::string_view in, std::string& out) {
  z_stream stream = {};
  // Window bits 15 + 16 ask zlib for the gzip wrapper instead of zlib's.
  if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  out.resize(deflateBound(&stream, static_cast<uLong>(in.size())) + 32);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  stream.avail_in = static_cast<uInt>(in.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

bool GzipEncodeZeros(uint64_t count, std::string& out) {
  z_stream stream = {};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  static const char kZeros[1 << 16] = {};
  char chunk[1 << 16];
  out.clear();
  int result = Z_OK;
  do {
    const uint64_t take = std::min<uint64_t>(count, sizeof kZeros);
    count -= take;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(kZeros));
    stream.avail_in = static_cast<uInt>(take);
    const int flush = count == 0 ? Z_FINISH : Z_NO_FLUSH;
    do {
      stream.next_out = reinterpret_cast<Bytef*>(chunk);
      stream.avail_out = sizeof chunk;
      result = deflate(&stream, flush);
      out.append(chunk, sizeof chunk - stream.avail_out);
    } while (stream.avail_out == 0 && result != Z_STREAM_ERROR);
  } while (count > 0 && result != Z_STREAM_ERROR);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

}  // namespace product_server
