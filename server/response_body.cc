#include "response_body.h"

#include <algorithm>
#include <cstring>

namespace product_server {

ResponseBody ResponseBody::Whole(std::shared_ptr<const ServedContent> content) {
  ResponseBody body;
  body.m_content = std::move(content);
  body.AddContent(0, body.m_content->size());
  return body;
}

ResponseBody ResponseBody::Range(std::shared_ptr<const ServedContent> content, ByteRange range) {
  ResponseBody body;
  body.m_content = std::move(content);
  body.AddContent(range.first, range.length());
  return body;
}

ResponseBody ResponseBody::Multipart(std::shared_ptr<const ServedContent> content,
                                     const std::vector<ByteRange>& ranges,
                                     const std::string& contentType,
                                     const std::string& boundary) {
  ResponseBody body;
  body.m_content = std::move(content);
  const std::string total = std::to_string(body.m_content->size());
  for (const ByteRange& range : ranges) {
    body.AddLiteral("--" + boundary + "\r\nContent-Type: " + contentType +
                    "\r\nContent-Range: bytes " + std::to_string(range.first) + "-" +
                    std::to_string(range.last) + "/" + total + "\r\n\r\n");
    body.AddContent(range.first, range.length());
    body.AddLiteral("\r\n");
  }
  body.AddLiteral("--" + boundary + "--\r\n");
  return body;
}

void ResponseBody::AddLiteral(std::string text) {
  m_size += text.size();
  Segment segment;
  segment.length = text.size();
  segment.literal = std::move(text);
  m_segments.push_back(std::move(segment));
}

void ResponseBody::AddContent(uint64_t offset, uint64_t length) {
  m_size += length;
  Segment segment;
  segment.fromContent = true;
  segment.contentOffset = offset;
  segment.length = length;
  m_segments.push_back(std::move(segment));
}

void ResponseBody::CorruptContent(uint64_t offset, uint64_t count) {
  m_corruptOffset = offset;
  m_corruptCount = std::min(count, UINT64_MAX - offset);
}

bool ResponseBody::Read(uint64_t offset, char* out, size_t count) const {
  if (offset > m_size || count > m_size - offset) return false;
  uint64_t segmentStart = 0;
  for (const Segment& segment : m_segments) {
    if (count == 0) break;
    uint64_t segmentEnd = segmentStart + segment.length;
    if (offset < segmentEnd) {
      uint64_t inside = offset - segmentStart;
      size_t take = static_cast<size_t>(std::min<uint64_t>(count, segment.length - inside));
      if (!segment.fromContent) {
        std::memcpy(out, segment.literal.data() + inside, take);
      } else {
        uint64_t from = segment.contentOffset + inside;
        if (!m_content->Read(from, out, take)) return false;
        // Flip the bytes of the corrupt window that fall into this slice.
        uint64_t flipStart = std::max(from, m_corruptOffset);
        uint64_t flipEnd = std::min(from + take, m_corruptOffset + m_corruptCount);
        for (uint64_t at = flipStart; at < flipEnd; ++at) out[at - from] = static_cast<char>(~out[at - from]);
      }
      out += take;
      offset += take;
      count -= take;
    }
    segmentStart = segmentEnd;
  }
  return count == 0;
}

}  // namespace product_server
