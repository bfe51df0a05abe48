#include "update/app_list.h"

#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace {

std::string FieldText(std::string_view bytes, size_t units) {
  const std::u16string wide = platform::LeBytesToUtf16(bytes.substr(0, units * 2));
  const size_t end = wide.find(u'\0');
  return platform::Utf16ToUtf8(wide.substr(0, end == std::u16string::npos ? units - 1 : end));
}

std::u16string FieldUnits(const std::string& text, size_t units) {
  std::u16string wide = platform::Utf8ToUtf16(CutToUnits(text, units - 1));
  wide.resize(units, u'\0');
  return wide;
}

}  // namespace

std::string CutToUnits(const std::string& text, size_t units) {
  std::u16string wide = platform::Utf8ToUtf16(text);
  if (wide.size() <= units) return text;
  size_t keep = units;
  if (keep > 0 && wide[keep - 1] >= 0xD800 && wide[keep - 1] <= 0xDBFF) --keep;
  wide.resize(keep);
  return platform::Utf16ToUtf8(wide);
}

std::vector<AppRecord> ReadAppList(const std::string& path) {
  std::vector<AppRecord> records;
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes) || bytes.size() % kAppRecordSize != 0) return records;
  const std::string_view all(bytes);
  for (size_t at = 0; at < all.size(); at += kAppRecordSize) {
    const std::string_view record = all.substr(at, kAppRecordSize);
    records.push_back(AppRecord{FieldText(record, kAppNameUnits), FieldText(record.substr(kAppNameUnits * 2), kAppExecUnits)});
  }
  return records;
}

bool WriteAppList(const std::string& path, const std::vector<AppRecord>& records) {
  std::string bytes;
  bytes.reserve(records.size() * kAppRecordSize);
  for (const AppRecord& record : records) {
    bytes += platform::Utf16ToLeBytes(FieldUnits(record.Name, kAppNameUnits));
    bytes += platform::Utf16ToLeBytes(FieldUnits(record.Exec, kAppExecUnits));
  }
  return platform::WriteFileAtomic(path, bytes);
}
