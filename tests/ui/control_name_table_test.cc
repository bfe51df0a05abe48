#include "ui/control_name_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace ui {
namespace {

TEST(ControlNameTable, EveryIdentifierFrom12345To12445ButTwoHasOneRow) {
  size_t count = 0;
  const ControlNameRow* rows = ControlNameRows(count);
  std::set<int32_t> ids;
  std::set<std::string> names;
  for (size_t i = 0; i < count; ++i) {
    ids.insert(rows[i].id);
    names.insert(rows[i].name);
    EXPECT_EQ(NameToId(rows[i].name), rows[i].id) << rows[i].name;
  }
  EXPECT_EQ(count, 99u);
  EXPECT_EQ(ids.size(), count);
  EXPECT_EQ(names.size(), count);
  for (int32_t id = 12345; id <= 12445; ++id) {
    EXPECT_EQ(ids.count(id), (id == 12432 || id == 12433) ? 0u : 1u) << id;
  }
}

TEST(ControlNameTable, NamesAndDefaultTexts) {
  struct Case {
    const char* name;
    int32_t id;
    int32_t text;
  };
  const Case cases[] = {
      {"close", 12345, -1},
      {"close_uninstall", 12346, 60},
      {"next", 12350, 47},
      {"single_install_button_cancel_update", 12351, 48},
      {"single_install_button_terms", 12359, 72},
      {"single_install_text_create_shortcuts", 12365, 62},
      {"language", 12366, -1},
      {"button_lang1", 12367, -1},
      {"button_lang8", 12374, -1},
      {"next_icons", 12376, 45},
      {"button_extapp_help_3", 12384, 61},
      {"checkbox_extapp_3", 12387, -1},
      {"cancelUninstall", 12396, 48},
      {"firstpage_info", 12411, 38},
      {"mbox_cancel", 12416, 48},
      {"headline_download_info", 12424, 86},
      {"headline_uninstall_close_info", 12427, 78},
      {"headline_firstpage_info", 12431, 82},
      {"text_clicklaunch", 12434, 89},
      {"text_wantuninstall", 12437, 92},
      {"text_wantuninstall_path", 12438, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameToId(c.name), c.id) << c.name;
    EXPECT_EQ(DefaultTextNumber(c.id), c.text) << c.name;
  }
}

TEST(ControlNameTable, UnknownNamesAndIdentifiers) {
  for (const char* name : {"", "Close", "cancel_uninstall", "close ", "button_lang9", "tooltip"}) {
    EXPECT_EQ(NameToId(name), -1) << name;
  }
  EXPECT_EQ(DefaultTextNumber(-1), -1);
  EXPECT_EQ(DefaultTextNumber(12432), -1);
  EXPECT_EQ(DefaultTextNumber(0), -1);
}

}  // namespace
}  // namespace ui
