// make_update: writes the update content of a client build for a static web
// server: packages, "update.xml" (every file with its CRC-32 and size) and
// "update.rxml".
//
//   make_update --client <build> --out <folder> [options]
//     --previous <older build>      also write an increment of what changed
//     --increment <name>            its package name (default increment.pkg)
//     --full <name>                 the main package (default client.pkg)
//     --split <bytes>               further full packages of at most this size
//     --ext <name>=<sub-folder>     optional application package
//     --int <name>=<sub-folder>     internal application package
//     --add <name>=<sub-folder>     added package
//     --pack <name>=<sub-folder>    further full package
//     --platform <name>=32|64       platform of a package
//     --info <name>|<lang>|<NAME>|<EXEC>[|<CMDL>[|<HELP>[|<sel 0/1>]]]
//     --ignore <value>              IGNORE entry ("*\name", "*\*.ext" or a path)
//     --rar                         RAR packages (stored) instead of ZIP
//     --rxml-rar                    "update.rxml" as a RAR archive
//     --level <0-9>                 deflate level of ZIP packages (0 stores)
//     --modification <text>  --client-version <text>
//     --launcher <file> --launcher-url <url> [--launcher-version a.b.c.d]
//   Exit code 0 on success, 2 for bad arguments, 1 for other failures.
#include <stdio.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "update/update_content_builder.h"
#include "update/update_manifest.h"

namespace {

int Usage(const std::string& message) {
  fprintf(stderr, "make_update: %s\n", message.c_str());
  return 2;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool NameValue(const std::string& text, std::string& name, std::string& value) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  name = text.substr(0, equals);
  value = text.substr(equals + 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  UpdateContentOptions options;
  std::vector<std::pair<std::string, int32_t>> platforms;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--rar") {
      options.rar = true;
      continue;
    }
    if (option == "--rxml-rar") {
      options.rxmlRar = true;
      continue;
    }
    if (i + 1 >= argc) return Usage("missing value of " + option);
    const std::string value = argv[++i];
    std::string name, folder;
    if (option == "--client") {
      options.clientFolder = value;
    } else if (option == "--out") {
      options.outputFolder = value;
    } else if (option == "--previous") {
      options.previousFolder = value;
    } else if (option == "--increment") {
      options.incrementName = value;
    } else if (option == "--full") {
      options.fullPackage = value;
    } else if (option == "--split") {
      options.splitSize = std::strtoull(value.c_str(), nullptr, 10);
    } else if (option == "--ext" || option == "--int" || option == "--add" || option == "--pack") {
      if (!NameValue(value, name, folder)) return Usage(option + " wants <name>=<sub-folder>");
      const int32_t type = option == "--ext" ? ptExt : option == "--int" ? ptInt : option == "--add" ? ptAdd : ptFull;
      options.packages.push_back(UpdatePackageRule{name, type, folder, 0});
    } else if (option == "--platform") {
      std::string word;
      if (!NameValue(value, name, word) || (word != "32" && word != "64")) return Usage("--platform wants <name>=32|64");
      platforms.emplace_back(name, word == "32" ? 1 : 2);
    } else if (option == "--info") {
      const std::vector<std::string> parts = Split(value, '|');
      if (parts.size() < 4) return Usage("--info wants <name>|<lang>|<NAME>|<EXEC>[|<CMDL>[|<HELP>[|<sel>]]]");
      UpdatePackageInfo info{parts[0], parts[1], parts[2], parts[3], parts.size() > 4 ? parts[4] : "",
                             parts.size() > 5 ? parts[5] : "", parts.size() > 6 ? std::atoi(parts[6].c_str()) : -1};
      options.infos.push_back(info);
    } else if (option == "--ignore") {
      options.ignore.push_back(value);
    } else if (option == "--level") {
      options.level = std::atoi(value.c_str());
      if (options.level < 0 || options.level > 9) return Usage("--level wants 0 to 9");
    } else if (option == "--modification") {
      options.modification = value;
    } else if (option == "--client-version") {
      options.clientVersion = value;
    } else if (option == "--launcher") {
      options.launcherFile = value;
    } else if (option == "--launcher-url") {
      options.launcherUrl = value;
    } else if (option == "--launcher-version") {
      options.launcherVersion = value;
    } else {
      return Usage("unknown option " + option);
    }
  }
  if (options.clientFolder.empty() || options.outputFolder.empty()) return Usage("--client and --out are required");
  for (const auto& [package, word] : platforms) {
    bool found = false;
    for (UpdatePackageRule& rule : options.packages) {
      if (rule.name == package) {
        rule.platform = word;
        found = true;
      }
    }
    if (!found) return Usage("--platform names no --ext/--int/--add/--pack package: " + package);
  }
  UpdateContentSummary summary;
  std::string error;
  if (!BuildUpdateContent(options, summary, error)) {
    fprintf(stderr, "make_update: %s\n", error.c_str());
    return 1;
  }
  printf("%llu files, %llu bytes in %zu packages\n", static_cast<unsigned long long>(summary.files),
         static_cast<unsigned long long>(summary.bytes), summary.packages.size());
  for (const std::string& name : summary.packages) printf("  %s\n", name.c_str());
  return 0;
}
