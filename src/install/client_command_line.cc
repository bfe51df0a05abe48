#include "install/client_command_line.h"

#include "base/marker_record.h"
#include "update/client_path.h"

CampaignIds ReadCampaignIds() {
  CampaignIds ids;
  ids.affiliateId = ReadMarker("AFFILIATE_ID", 135);
  ids.referrerId = ReadMarker("REFERRER_ID", 136);
  ids.promoCode = ReadMarker("PROMOCODE", 137);
  return ids;
}

std::string ConfiguredClientArguments(const std::string& clientProcess, const std::string& clientCommandLine) {
  if (clientCommandLine.size() <= clientProcess.size() ||
      clientCommandLine.compare(0, clientProcess.size(), clientProcess) != 0)
    return std::string();
  // One blank stands between "Process" and "ProcessArgs".
  return clientCommandLine.substr(clientProcess.size() + 1);
}

std::string ClientExecutablePath(const std::string& clientFolder, const std::string& clientProcess) {
  ClientPathResolver resolver(clientFolder);
  std::string path;
  if (resolver.Resolve(clientProcess, path) != ClientPathResolver::Status::kOk) return std::string();
  return path;
}

ClientCommand BuildClientCommand(const ClientCommandInputs& inputs) {
  ClientCommand command;
  command.executablePath = ClientExecutablePath(inputs.clientFolder, inputs.clientProcess);
  std::string& text = command.argumentText;
  text = ConfiguredClientArguments(inputs.clientProcess, inputs.clientCommandLine);
  if (!text.empty()) text += ' ';
  text += "-server " + inputs.serverUrl + inputs.clientArguments;
  if (!inputs.campaign.affiliateId.empty()) text += " -affiliateid " + inputs.campaign.affiliateId;
  if (!inputs.campaign.referrerId.empty()) text += " -referrerid " + inputs.campaign.referrerId;
  if (!inputs.campaign.promoCode.empty()) text += " -promocode " + inputs.campaign.promoCode;
  if (inputs.updatePath.find("games-launcher") != std::string::npos) text += " -localRun";
  command.argv.push_back(command.executablePath);
  for (std::string& argument : SplitClientArguments(text)) command.argv.push_back(std::move(argument));
  return command;
}

std::vector<std::string> SplitClientArguments(std::string_view text) {
  std::vector<std::string> arguments;
  std::string current;
  bool any = false;
  bool quoted = false;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if ((c == ' ' || c == '\t') && !quoted) {
      if (any) arguments.push_back(current);
      current.clear();
      any = false;
      ++i;
      continue;
    }
    any = true;
    if (c == '\\') {
      size_t count = 0;
      while (i + count < text.size() && text[i + count] == '\\') ++count;
      if (i + count < text.size() && text[i + count] == '"') {
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          i += count + 1;
        } else {
          i += count;  // the double quote is handled as such next
        }
      } else {
        current.append(count, '\\');
        i += count;
      }
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        current += '"';
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
      continue;
    }
    current += c;
    ++i;
  }
  if (any) arguments.push_back(current);
  return arguments;
}
