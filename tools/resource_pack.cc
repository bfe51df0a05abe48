// resource_pack: builds the launcher's embedded resources from their
// readable sources (run by the build).
//
//   resource_pack lso <source.txt> <out.lso> [--english <english.txt>]
//       Compiles a string table; with --english it fails when the table's
//       strings, printf conversions or line breaks differ from English.
//   resource_pack archive <out.rar> <folder> [<name>=<file> ...]
//       Packs the folder's tree (names relative to it, "\" separators,
//       folders as entries, sorted) plus the named extra files into a RAR
//       archive of stored entries.
//   resource_pack markers <markers.txt> <out folder>
//       Writes the six marker records as <TYPE>.bin. markers.txt holds
//       "TYPE=value" lines ("SERVER_URL" may repeat, one URL a line).
//   resource_pack embed <out.cc> <TYPE>:<id>:<file> ...
//       Writes the source that links the files raw into the program, with
//       the table that platform::FindResource looks them up in.
//
// Exit code 0 on success, 1 with a message on standard error otherwise.
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "config/lso_source.h"
#include "base/marker_record.h"
#include "platform/file_system.h"
#include "update/rar/rar_stored_writer.h"

namespace {

namespace fs = std::filesystem;

int Fail(const std::string& message) {
  fprintf(stderr, "resource_pack: %s\n", message.c_str());
  return 1;
}

bool ReadTable(const std::string& path, std::vector<std::string>& strings, std::string& error) {
  std::string source;
  if (!platform::ReadWholeFile(path, source)) {
    error = path + ": cannot read";
    return false;
  }
  if (!ParseStringSource(source, strings, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

int CompileTable(const std::vector<std::string>& args) {
  if (args.size() != 2 && !(args.size() == 4 && args[2] == "--english")) {
    return Fail("usage: lso <source.txt> <out.lso> [--english <english.txt>]");
  }
  std::vector<std::string> strings;
  std::string error;
  if (!ReadTable(args[0], strings, error)) return Fail(error);
  if (args.size() == 4) {
    std::vector<std::string> english;
    if (!ReadTable(args[3], english, error)) return Fail(error);
    if (!CheckTranslation(english, strings, error)) return Fail(args[0] + " differs from English:\n" + error);
  }
  if (!platform::WriteFileAtomic(args[1], EncodeLso(strings))) return Fail(args[1] + ": cannot write");
  return 0;
}

std::string ArchiveName(const fs::path& relative) {
  std::string name;
  for (const fs::path& part : relative) {
    if (!name.empty()) name += '\\';
    name += part.string();
  }
  return name;
}

int PackArchive(const std::vector<std::string>& args) {
  if (args.size() < 2) return Fail("usage: archive <out.rar> <folder> [<name>=<file> ...]");
  // name -> source file; empty source: a folder entry.
  std::map<std::string, std::string> entries;
  std::error_code ec;
  const fs::path root(args[1]);
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = ArchiveName(fs::relative(it->path(), root));
    if (it->is_directory()) {
      entries[name] = std::string();
    } else if (it->is_regular_file()) {
      entries[name] = it->path().string();
    }
  }
  if (ec) return Fail(args[1] + ": " + ec.message());
  for (size_t i = 2; i < args.size(); ++i) {
    const size_t equals = args[i].find('=');
    if (equals == std::string::npos || equals == 0) return Fail("extra file without <name>=: " + args[i]);
    std::string name = args[i].substr(0, equals);
    std::replace(name.begin(), name.end(), '/', '\\');
    entries[name] = args[i].substr(equals + 1);
    // Its folders are entries too.
    for (size_t slash = name.find('\\'); slash != std::string::npos; slash = name.find('\\', slash + 1)) {
      entries.emplace(name.substr(0, slash), std::string());
    }
  }
  rar::RarStoredWriter writer;
  for (const auto& [name, source] : entries) {
    if (source.empty()) {
      if (!writer.AddDirectory(name)) return Fail("cannot add folder " + name);
      continue;
    }
    std::string bytes;
    if (!platform::ReadWholeFile(source, bytes)) return Fail(source + ": cannot read");
    if (!writer.AddFile(name, bytes)) return Fail("cannot add " + name);
  }
  if (!platform::WriteFileAtomic(args[0], writer.Finish())) return Fail(args[0] + ": cannot write");
  return 0;
}

int WriteMarkers(const std::vector<std::string>& args) {
  if (args.size() != 2) return Fail("usage: markers <markers.txt> <out folder>");
  std::string text;
  if (!platform::ReadWholeFile(args[0], text)) return Fail(args[0] + ": cannot read");
  std::map<std::string, std::vector<std::string>> values;
  size_t lineNumber = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    const std::string type = line.substr(0, equals);
    if (equals == std::string::npos || FindMarkerSpec(type) == nullptr) {
      return Fail(args[0] + ":" + std::to_string(lineNumber) + ": expected <TYPE>=<value> with a known type");
    }
    const std::string value = line.substr(equals + 1);
    if (!value.empty()) values[type].push_back(value);
  }
  platform::CreateDirectories(args[1]);
  for (const MarkerSpec& spec : kMarkerSpecs) {
    std::string record;
    if (!BuildMarkerRecord(spec, values[spec.type], record)) {
      return Fail(std::string(spec.type) + ": the value does not fit its " + std::to_string(spec.capacity) +
                  " bytes");
    }
    const std::string path = platform::JoinPath(args[1], std::string(spec.type) + ".bin");
    if (!platform::WriteFileAtomic(path, record)) return Fail(path + ": cannot write");
  }
  return 0;
}

// A path as an assembler string inside a C++ string literal; paths with
// quotes, backslashes or line breaks are refused.
bool AsmString(const std::string& path, std::string& out) {
  if (path.find_first_of("\"\\\n") != std::string::npos) return false;
  out = "\\\"" + path + "\\\"";
  return true;
}

int WriteEmbedSource(const std::vector<std::string>& args) {
  if (args.size() < 2) return Fail("usage: embed <out.cc> <TYPE>:<id>:<file> ...");
  std::string assembly;
  std::string declarations;
  std::string table;
  for (size_t i = 1; i < args.size(); ++i) {
    const size_t first = args[i].find(':');
    const size_t second = first == std::string::npos ? first : args[i].find(':', first + 1);
    if (second == std::string::npos) return Fail("expected <TYPE>:<id>:<file>: " + args[i]);
    const std::string type = args[i].substr(0, first);
    const std::string id = args[i].substr(first + 1, second - first - 1);
    const std::string file = fs::absolute(args[i].substr(second + 1)).string();
    if (type.empty() || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
      return Fail("bad type or id: " + args[i]);
    }
    const auto size = platform::FileSize(file);
    if (!size) return Fail(file + ": cannot read");
    std::string quoted;
    if (!AsmString(file, quoted)) return Fail("unusable path for the assembler: " + file);
    const std::string symbol = "launcher_resource_" + std::to_string(i);
    assembly += "    \".balign 16\\n\"\n    \"" + symbol + ":\\n\"\n    \".incbin " + quoted + "\\n\"\n";
    declarations += "extern \"C\" const unsigned char " + symbol + "[];\n";
    table += "    {\"" + type + "\", " + id + ", " + symbol + ", " + std::to_string(*size) + "u},\n";
  }
  std::string source =
      "// Generated by resource_pack: the launcher's resources, linked raw into\n"
      "// the program, and their table. Do not edit.\n"
      "#include \"platform/embedded_resources.h\"\n\n"
      "__asm__(\n"
      "    \".pushsection .rodata.launcher_resources,\\\"a\\\"\\n\"\n" +
      assembly + "    \".popsection\\n\");\n\n" + declarations +
      "\nnamespace {\nconst platform::EmbeddedResource kResources[] = {\n" + table +
      "};\n}  // namespace\n\n"
      "extern \"C\" const platform::EmbeddedResourceTable launcher_embedded_resources = {\n"
      "    kResources, sizeof kResources / sizeof kResources[0]};\n";
  if (!platform::WriteFileAtomic(args[0], source)) return Fail(args[0] + ": cannot write");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: resource_pack lso|archive|markers|embed ...");
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "lso") return CompileTable(args);
  if (command == "archive") return PackArchive(args);
  if (command == "markers") return WriteMarkers(args);
  if (command == "embed") return WriteEmbedSource(args);
  return Fail("unknown command " + command);
}
