// Migrations: a launcher whose product identity (short name, long name,
// registry path) differs from an older one takes over an installation that
// is still registered under the old identity. The configuration lists the
// older identities under "common/migrations"; at start a launcher named
// "Launcher.exe" looks for its own folder among their registered folders,
// moves the player's preferences to its short name and hands the folder
// over to the long-name run (app/long_name_run.h), which moves it to the
// new long name and registers it under the new identity. Once that is
// done the old identity no longer lists the folder, so the migration runs
// once. A portable installation keeps its folder: only the preferences
// move.
//
// Controller's thread; blocks on the file system and the settings store.
#pragma once

#include <string>
#include <vector>

#include <tinyxml2.h>

struct MigrationEntry {
  std::string shortName;
  std::string fullName;
  std::string regPath;
  std::string iconName;
};

// Reads "common/migrations" below `root` into `migrations` (emptied first;
// entries without shortName, fullName or regPath are dropped); true when
// the list is not empty.
bool LoadMigrations(const tinyxml2::XMLElement* root, std::vector<MigrationEntry>& migrations);

// Moves "<entry shortName>/preferences/prefs.cs" of `launcherFolder` to
// "<newShortName>/preferences/prefs.cs", replacing what is there. Names
// that are no single folder name are left alone.
void MovePreferences(const std::string& launcherFolder, const std::string& newShortName, const MigrationEntry& entry);

// The migration of the installation `launcherPath` runs from, for the
// running launcher's `shortName` and `fullName`: true when the long-name
// run started and this launcher must end.
bool Migrate(const std::string& launcherPath, const std::string& shortName, const std::string& fullName,
             const std::vector<MigrationEntry>& migrations);
