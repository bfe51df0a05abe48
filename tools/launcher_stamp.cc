// launcher_stamp: brands a built launcher by writing values into its marker
// records (server URLs, update path, language, campaign identifiers).
//
//   launcher_stamp <launcher> <output> [options]
//     --server-url <url>     (repeatable; the list replaces the stamped one)
//     --update-path <path>   --language <code>
//     --affiliate-id <id>    --referrer-id <id>    --promocode <code>
//   An empty value clears a record; records not named keep their values.
//   The output is a copy of the launcher with the records rewritten in
//   place (same size, same permissions); it may be the input itself.
//
//   launcher_stamp --print <launcher>
//     Prints the stamped values as TYPE=value lines.
//
// Values that do not fit their record's capacity are refused: nothing is
// written and the exit code is 2. Other failures exit with 1.
#include <stdio.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/marker_record.h"
#include "platform/file_system.h"

namespace {

int Fail(int code, const std::string& message) {
  fprintf(stderr, "launcher_stamp: %s\n", message.c_str());
  return code;
}

const std::map<std::string, std::string>& Options() {
  static const std::map<std::string, std::string> options = {
      {"--server-url", "SERVER_URL"},     {"--update-path", "UPDATE_PATH"}, {"--language", "LANGUAGE"},
      {"--affiliate-id", "AFFILIATE_ID"}, {"--referrer-id", "REFERRER_ID"}, {"--promocode", "PROMOCODE"},
  };
  return options;
}

int Print(const std::string& path) {
  std::string file;
  if (!platform::ReadWholeFile(path, file)) return Fail(1, path + ": cannot read");
  for (const MarkerSpec& spec : kMarkerSpecs) {
    const size_t at = FindMarkerRecord(file, spec);
    if (at == std::string::npos) return Fail(1, path + ": no " + spec.type + " record");
    const std::string_view area = MarkerValueArea(spec, std::string_view(file).substr(at, MarkerRecordSize(spec)));
    if (std::string_view(spec.type) == "SERVER_URL") {
      const std::vector<std::string> list = MarkerList(area);
      if (list.empty()) printf("%s=\n", spec.type);
      for (const std::string& url : list) printf("%s=%s\n", spec.type, url.c_str());
    } else {
      printf("%s=%s\n", spec.type, MarkerValue(area).c_str());
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "--print") return Print(args[1]);
  if (args.size() < 2 || args[0].rfind("--", 0) == 0 || args[1].rfind("--", 0) == 0) {
    return Fail(1, "usage: launcher_stamp <launcher> <output> [--server-url URL]... [--update-path P] "
                   "[--language L] [--affiliate-id X] [--referrer-id X] [--promocode X] | --print <launcher>");
  }
  std::map<std::string, std::vector<std::string>> values;
  for (size_t i = 2; i < args.size(); i += 2) {
    const auto option = Options().find(args[i]);
    if (option == Options().end() || i + 1 >= args.size()) return Fail(1, "unknown option or no value: " + args[i]);
    std::vector<std::string>& list = values[option->second];
    if (!args[i + 1].empty()) list.push_back(args[i + 1]);
  }

  std::string file;
  if (!platform::ReadWholeFile(args[0], file)) return Fail(1, args[0] + ": cannot read");
  for (const auto& [type, list] : values) {
    const MarkerSpec& spec = *FindMarkerSpec(type);
    std::string record;
    if (!BuildMarkerRecord(spec, list, record)) {
      return Fail(2, type + ": the value does not fit the record's " + std::to_string(spec.capacity) +
                         " bytes (NUL included)");
    }
    const size_t at = FindMarkerRecord(file, spec);
    if (at == std::string::npos) return Fail(1, args[0] + ": no " + type + " record; is it a launcher?");
    file.replace(at, record.size(), record);
  }

  std::error_code ec;
  const auto permissions = std::filesystem::status(args[0], ec).permissions();
  if (!platform::WriteFileAtomic(args[1], file)) return Fail(1, args[1] + ": cannot write");
  if (!ec) std::filesystem::permissions(args[1], permissions, ec);
  return 0;
}
