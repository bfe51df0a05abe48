// InstallDirectoryList: the ten registered client folders of the product,
// kept in the machine settings under "<regPath>\Install" as the string
// values "Directory" (slot 0) and "Directory1" to "Directory9". A slot
// holds a normalised folder or the empty text; the slot number is the
// installation's identity (uninstall entry, shortcut names).
//
// Main thread or the assistant; every call reads or writes the settings
// store at once.
#pragma once

#include <array>
#include <string>

// Folder normalisation used wherever folders are compared: double quotes
// removed, "\" turned into the native "/", runs of separators made one.
// (The native separator keeps the folders usable as paths; comparisons are
// unaffected.)
std::string NormalisePath(const std::string& folder);

class InstallDirectoryList {
 public:
  static constexpr int kSlots = 10;

  explicit InstallDirectoryList(std::string regPath) : m_regPath(std::move(regPath)) {}

  // Reads the slots. A missing or unreadable value becomes an empty slot
  // and is written back empty; without the product key the slots stay as
  // they were; without its "Install" key (and unable to make it) all are
  // empty and nothing is written.
  void Load();
  bool Save();
  // Slot of the folder (normalised, ignoring case), or -1.
  int Find(const std::string& folder);
  // The first slot longer than 3 characters, or "".
  std::string FirstRegistered();
  // Empties the folder's slot; true when it is no longer registered.
  bool Remove(const std::string& folder);
  // Empties slots that are too short or whose folder is missing or empty.
  void Prune();

  const std::string& Slot(int index) const { return m_slots[static_cast<size_t>(index)]; }
  void SetSlot(int index, const std::string& folder) { m_slots[static_cast<size_t>(index)] = NormalisePath(folder); }

  static std::string ValueName(int slot);

 private:
  std::string InstallKey() const { return m_regPath + "\\Install"; }

  std::string m_regPath;
  std::array<std::string, kSlots> m_slots;
};
