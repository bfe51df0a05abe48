#include "base/marker_record.h"

#include "platform/embedded_resources.h"

const MarkerSpec* FindMarkerSpec(std::string_view type) {
  for (const MarkerSpec& spec : kMarkerSpecs) {
    if (type == spec.type) return &spec;
  }
  return nullptr;
}

std::string MarkerText(std::string_view type) {
  std::string text(type);
  text += "_HERE";
  text += ':';
  return text;
}

size_t MarkerRecordSize(const MarkerSpec& spec) {
  return std::string_view(spec.type).size() + 6 + 1 + spec.capacity;
}

bool BuildMarkerRecord(const MarkerSpec& spec, const std::vector<std::string>& values, std::string& record) {
  const bool isList = std::string_view(spec.type) == "SERVER_URL";
  if (!isList && values.size() > 1) return false;
  std::string area;
  for (const std::string& value : values) {
    if (value.find('\0') != std::string::npos) return false;
    if (isList && value.empty()) return false;
    area += value;
    area += '\0';
  }
  // A list ends with an empty entry; a single value needs its NUL only.
  if (isList || area.empty()) area += '\0';
  if (area.size() > spec.capacity) return false;
  area.resize(spec.capacity, '\0');
  record = MarkerText(spec.type);
  record += '\0';
  record += area;
  return true;
}

std::string_view MarkerValueArea(const MarkerSpec& spec, std::string_view record) {
  const std::string marker = MarkerText(spec.type);
  if (record.size() <= marker.size() || record.substr(0, marker.size()) != marker || record[marker.size()] != '\0') {
    return std::string_view();
  }
  std::string_view area = record.substr(marker.size() + 1);
  if (area.size() > spec.capacity) area = area.substr(0, spec.capacity);
  return area;
}

std::string MarkerValue(std::string_view valueArea) {
  const size_t end = valueArea.find('\0');
  if (end == std::string_view::npos) return std::string();
  return std::string(valueArea.substr(0, end));
}

std::vector<std::string> MarkerList(std::string_view valueArea) {
  std::vector<std::string> list;
  while (!valueArea.empty()) {
    const size_t end = valueArea.find('\0');
    if (end == std::string_view::npos || end == 0) break;
    list.emplace_back(valueArea.substr(0, end));
    valueArea.remove_prefix(end + 1);
  }
  return list;
}

namespace {

std::string_view ResourceValueArea(std::string_view type, uint32_t id) {
  const MarkerSpec* spec = FindMarkerSpec(type);
  if (spec == nullptr) return std::string_view();
  const auto bytes = platform::FindResource(type, id);
  if (!bytes) return std::string_view();
  return MarkerValueArea(*spec, bytes->view());
}

}  // namespace

std::string ReadMarker(std::string_view type, uint32_t id) { return MarkerValue(ResourceValueArea(type, id)); }

std::vector<std::string> ReadServerUrlList() { return MarkerList(ResourceValueArea("SERVER_URL", 132)); }

size_t FindMarkerRecord(std::string_view file, const MarkerSpec& spec) {
  std::string marker = MarkerText(spec.type);
  marker += '\0';
  const size_t recordSize = MarkerRecordSize(spec);
  size_t from = std::string_view::npos;
  while (true) {
    const size_t at = file.rfind(marker, from);
    if (at == std::string_view::npos) return at;
    if (file.size() - at >= recordSize) return at;
    if (at == 0) return std::string_view::npos;
    from = at - 1;
  }
}
