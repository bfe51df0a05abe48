#include "ui/control_name_table.h"

#include <iterator>

namespace ui {

namespace {

constexpr ControlNameRow kRows[] = {
    {"close", 12345, -1},
    {"close_uninstall", 12346, 60},
    {"disagree", 12347, 42},
    {"agree", 12348, 43},
    {"back", 12349, 44},
    {"next", 12350, 47},
    {"single_install_button_cancel_update", 12351, 48},
    {"single_install_button_cancel", 12352, 48},
    {"single_install_button_browse", 12353, 63},
    {"single_install_button_install", 12354, 64},
    {"single_install_checkbox_terms", 12355, 43},
    {"single_install_checkbox_guest", 12356, 50},
    {"single_install_checkbox_icon_desktop", 12357, 52},
    {"single_install_checkbox_icon_programs", 12358, 53},
    {"single_install_button_terms", 12359, 72},
    {"single_install_progress", 12360, -1},
    {"single_install_text_progress_info", 12361, -1},
    {"single_install_text_folder", 12362, -1},
    {"single_install_sprite_hide", 12363, -1},
    {"single_install_spriterange_wait", 12364, -1},
    {"single_install_text_create_shortcuts", 12365, 62},
    {"language", 12366, -1},
    {"button_lang1", 12367, -1},
    {"button_lang2", 12368, -1},
    {"button_lang3", 12369, -1},
    {"button_lang4", 12370, -1},
    {"button_lang5", 12371, -1},
    {"button_lang6", 12372, -1},
    {"button_lang7", 12373, -1},
    {"button_lang8", 12374, -1},
    {"back_icons", 12375, 44},
    {"next_icons", 12376, 45},
    {"cancel_icons", 12377, 48},
    {"portable_help", 12378, 61},
    {"back_extapp", 12379, 44},
    {"next_extapp", 12380, 45},
    {"cancel_extapp", 12381, 48},
    {"button_extapp_help_1", 12382, 61},
    {"button_extapp_help_2", 12383, 61},
    {"button_extapp_help_3", 12384, 61},
    {"checkbox_extapp_1", 12385, -1},
    {"checkbox_extapp_2", 12386, -1},
    {"checkbox_extapp_3", 12387, -1},
    {"cancel_destfolder", 12388, 48},
    {"cancel_download", 12389, 48},
    {"cancel_progress", 12390, 48},
    {"cancel_firstpage", 12391, 48},
    {"change_folder", 12392, 49},
    {"checkbox_guest", 12393, 50},
    {"launch", 12394, 54},
    {"uninstall", 12395, 59},
    {"cancelUninstall", 12396, 48},
    {"checkbox_icon_desktop", 12397, 52},
    {"checkbox_icon_programs", 12398, 53},
    {"mblistbox", 12399, -1},
    {"mblistbox_error", 12400, -1},
    {"mblistbox_sprite_error", 12401, -1},
    {"terms", 12402, -1},
    {"errors", 12403, -1},
    {"folder", 12404, -1},
    {"download_info", 12405, -1},
    {"progress_info", 12406, -1},
    {"download_progress", 12407, -1},
    {"progress_progress", 12408, -1},
    {"applyupdate_info", 12409, -1},
    {"launching_info", 12410, -1},
    {"firstpage_info", 12411, 38},
    {"mbox_yes", 12412, 55},
    {"mbox_no", 12413, 56},
    {"mbox_ok", 12414, 57},
    {"mbox_retry", 12415, 58},
    {"mbox_cancel", 12416, 48},
    {"mbox_edit", 12417, -1},
    {"mbox_link", 12418, -1},
    {"mbox_text_edit_caption", 12419, -1},
    {"caption", 12420, -1},
    {"headline_terms_info", 12421, 72},
    {"headline_icons_info", 12422, 79},
    {"headline_dest_info", 12423, 74},
    {"headline_download_info", 12424, 86},
    {"headline_download_launch_info", 12425, 76},
    {"headline_uninstall_info", 12426, 78},
    {"headline_uninstall_close_info", 12427, 78},
    {"scroll_error_text_area", 12428, -1},
    {"headline_progress_info", 12429, 80},
    {"headline_extapp_info", 12430, 81},
    {"headline_firstpage_info", 12431, 82},
    {"text_clicklaunch", 12434, 89},
    {"text_downloadcompleted", 12435, 90},
    {"text_programwill", 12436, 91},
    {"text_wantuninstall", 12437, 92},
    {"text_wantuninstall_path", 12438, -1},
    // The folder choice form of our own (no system dialog).
    {"folder_choice_caption", 12439, 24},
    {"folder_choice_list", 12440, -1},
    {"folder_choice_edit", 12441, -1},
    {"folder_choice_up", 12442, -1},
    {"folder_choice_ok", 12443, 57},
    {"folder_choice_cancel", 12444, 48},
    {"folder_choice_path", 12445, -1},
};

}  // namespace

const ControlNameRow* ControlNameRows(std::size_t& count) {
  count = std::size(kRows);
  return kRows;
}

std::int32_t NameToId(std::string_view name) {
  for (const ControlNameRow& row : kRows) {
    if (name == row.name) return row.id;
  }
  return -1;
}

std::int32_t DefaultTextNumber(std::int32_t id) {
  for (const ControlNameRow& row : kRows) {
    if (row.id == id) return row.textNumber;
  }
  return -1;
}

}  // namespace ui
