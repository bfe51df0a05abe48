// The command that starts the game client: its executable in the client
// folder and the argument text the launcher hands it (configured
// arguments, "-server", the identity, the campaign identifiers,
// "-localRun").
//
// The argument text is built as one text, as the client expects it, and
// split into an argument vector with the quoting rules of the client's home
// system (blanks separate, double quotes group, backslashes escape a double
// quote), so that a quoted value such as the identity stays one argument.
//
// Pure functions except ReadCampaignIds and ClientExecutablePath (which
// read the executable's records and list the client folder); any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CampaignIds {
  std::string affiliateId;
  std::string referrerId;
  std::string promoCode;
};

// "AFFILIATE_ID", "REFERRER_ID" and "PROMOCODE" of the running executable.
CampaignIds ReadCampaignIds();

struct ClientCommandInputs {
  std::string clientFolder;
  std::string clientProcess;      // "Process": the executable, relative to the folder
  std::string clientCommandLine;  // "Process", then " " and "ProcessArgs" when set
  std::string serverUrl;          // the server URL in use
  std::string clientArguments;    // extra arguments, each with a leading blank
  CampaignIds campaign;
  std::string updatePath;         // the configured update path
};

struct ClientCommand {
  // Native path of the executable with the spelling found on disk; empty
  // when "Process" could reach outside the client folder.
  std::string executablePath;
  // Everything after the program: "<ProcessArgs> -server <url><clientArguments>
  // [ -affiliateid <id>][ -referrerid <id>][ -promocode <code>][ -localRun]".
  std::string argumentText;
  // executablePath, then argumentText split.
  std::vector<std::string> argv;
};

ClientCommand BuildClientCommand(const ClientCommandInputs& inputs);

// "ProcessArgs" as it stands in the client command line ("" when none).
std::string ConfiguredClientArguments(const std::string& clientProcess, const std::string& clientCommandLine);
// The client executable: `clientProcess` ("\" or "/" separated) resolved
// against the folder ignoring case; empty for an unsafe name or a link.
std::string ClientExecutablePath(const std::string& clientFolder, const std::string& clientProcess);
// Splits an argument text: blanks and tabs outside double quotes separate;
// a double quote toggles quoting and is dropped ("" inside quotes gives
// one); 2n backslashes before a double quote give n, 2n+1 give n and a
// literal double quote; other backslashes are literal.
std::vector<std::string> SplitClientArguments(std::string_view text);
