// The body of one answer laid out as segments: slices of the served content
// and literal texts (the part headers of a multipart/byteranges answer).
// Built on the request's thread, then read by the thread that writes the
// body; not shared otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "byte_ranges.h"
#include "served_content.h"

namespace product_server {

class ResponseBody {
 public:
  // All of `content`.
  static ResponseBody Whole(std::shared_ptr<const ServedContent> content);
  // One range of it (a 206 answer with Content-Range).
  static ResponseBody Range(std::shared_ptr<const ServedContent> content, ByteRange range);
  // Several ranges as multipart/byteranges parts separated by `boundary`,
  // each part with `contentType` and its Content-Range.
  static ResponseBody Multipart(std::shared_ptr<const ServedContent> content,
                                const std::vector<ByteRange>& ranges,
                                const std::string& contentType, const std::string& boundary);

  uint64_t size() const { return m_size; }

  // Appends `count` zero bytes after the body.
  void AddPadding(uint64_t count) { AddLiteral(std::string(count, '\0')); }

  // Flips every bit of the content bytes in [offset, offset + count) as
  // they are read; they keep their place in the body.
  void CorruptContent(uint64_t offset, uint64_t count);

  // Copies `count` body bytes from body offset `offset`. False when the
  // range is outside the body or the content cannot be read.
  bool Read(uint64_t offset, char* out, size_t count) const;

 private:
  struct Segment {
    std::string literal;           // used when `fromContent` is false
    bool fromContent = false;
    uint64_t contentOffset = 0;
    uint64_t length = 0;
  };

  void AddLiteral(std::string text);
  void AddContent(uint64_t offset, uint64_t length);

  std::shared_ptr<const ServedContent> m_content;
  std::vector<Segment> m_segments;
  uint64_t m_size = 0;
  uint64_t m_corruptOffset = 0;
  uint64_t m_corruptCount = 0;
};

}  // namespace product_server
