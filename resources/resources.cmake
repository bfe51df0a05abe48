# The embedded resources of Launcher.exe, built from the readable sources in
# resources/ by tools/resource_pack (included from the root CMakeLists.txt
# after the launcher and tool targets exist):
#   "ZIP" 130  resources.rar: zip/ (config.xml, theme_kvxm/, theme_wizard/), the compiled
#              string tables, the theme's texture atlases (drawn by
#              tools/theme_art) and its Roboto fonts (fonts-roboto)
#   "SED" 131  sed.rar: sed/
#   132..137   the marker records of markers.txt
# They are linked raw into Launcher.exe only; launcher_core never holds them.

set(RES_SOURCE ${CMAKE_SOURCE_DIR}/resources)
set(RES_OUT ${CMAKE_BINARY_DIR}/resources)

# The theme's fonts come from Debian's fonts-roboto at build time.
find_file(LAUNCHER_ROBOTO_REGULAR Roboto-Regular.ttf
  PATHS /usr/share/fonts/truetype/roboto
  PATH_SUFFIXES unhinted/RobotoTTF hinted unhinted
  NO_DEFAULT_PATH)
find_file(LAUNCHER_ROBOTO_BOLD Roboto-Bold.ttf
  PATHS /usr/share/fonts/truetype/roboto
  PATH_SUFFIXES unhinted/RobotoTTF hinted unhinted
  NO_DEFAULT_PATH)
if(NOT LAUNCHER_ROBOTO_REGULAR OR NOT LAUNCHER_ROBOTO_BOLD)
  message(FATAL_ERROR "Roboto fonts not found: install the Debian package fonts-roboto (scripts/setup.sh does)")
endif()

# String tables: each source compiled to its ".lso" and checked against
# English (strings, printf conversions, line breaks).
set(RES_ENGLISH ${RES_SOURCE}/strings/stringtable_launcher_en_english.txt)
file(GLOB RES_STRING_SOURCES CONFIGURE_DEPENDS ${RES_SOURCE}/strings/*.txt)
set(RES_TABLES)
set(RES_TABLE_ARGS)
foreach(source ${RES_STRING_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  set(table ${RES_OUT}/tables/${name}.lso)
  add_custom_command(OUTPUT ${table}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RES_OUT}/tables
    COMMAND resource_pack lso ${source} ${table} --english ${RES_ENGLISH}
    DEPENDS resource_pack ${source} ${RES_ENGLISH}
    COMMENT "String table ${name}.lso"
    VERBATIM)
  list(APPEND RES_TABLES ${table})
  list(APPEND RES_TABLE_ARGS ${name}.lso=${table})
endforeach()

# The theme's texture atlases are drawn by tools/theme_art; this list names
# every file it writes (relative to the theme folder).
set(RES_THEME_ART_NAMES
  buttons/Stuff_button_medium.png
  buttons/Stuff_button_medium_accent.png
  buttons/Stuff_checkbox.png
  buttons/button_link.png
  combobox/Stuff_combo_medium.png
  combobox/flagsMain.png
  dialog/Stuff_bb_border.png
  dialog/Stuff_bb_combo_drop.png
  dialog/Stuff_bb_level0.png
  dialog/error.png
  dialog/logo.png
  edit/Stuff_edit.png
  progress/Stuff_progress.png
  scroll/Stuff_scroll.png)
# The wizard theme (theme_wizard/) shares them and adds its step indicator.
set(RES_WIZARD_ART_NAMES dialog/Stuff_steps.png)
set(RES_THEME_ART_FILES)
set(RES_THEME_ART_ARGS)
foreach(name ${RES_THEME_ART_NAMES})
  list(APPEND RES_THEME_ART_FILES ${RES_OUT}/theme_art/${name})
  list(APPEND RES_THEME_ART_ARGS theme_kvxm/${name}=${RES_OUT}/theme_art/${name}
    theme_wizard/${name}=${RES_OUT}/theme_art/${name})
endforeach()
foreach(name ${RES_WIZARD_ART_NAMES})
  list(APPEND RES_THEME_ART_FILES ${RES_OUT}/theme_art/${name})
  list(APPEND RES_THEME_ART_ARGS theme_wizard/${name}=${RES_OUT}/theme_art/${name})
endforeach()
add_custom_command(OUTPUT ${RES_THEME_ART_FILES}
  COMMAND theme_art ${RES_OUT}/theme_art
  DEPENDS theme_art
  COMMENT "Theme texture atlases"
  VERBATIM)

file(GLOB_RECURSE RES_ZIP_SOURCES CONFIGURE_DEPENDS ${RES_SOURCE}/zip/*)
add_custom_command(OUTPUT ${RES_OUT}/resources.rar
  COMMAND resource_pack archive ${RES_OUT}/resources.rar ${RES_SOURCE}/zip ${RES_TABLE_ARGS}
    ${RES_THEME_ART_ARGS}
    theme_kvxm/fonts/Roboto-Regular.ttf=${LAUNCHER_ROBOTO_REGULAR}
    theme_kvxm/fonts/Roboto-Bold.ttf=${LAUNCHER_ROBOTO_BOLD}
    theme_wizard/fonts/Roboto-Regular.ttf=${LAUNCHER_ROBOTO_REGULAR}
    theme_wizard/fonts/Roboto-Bold.ttf=${LAUNCHER_ROBOTO_BOLD}
  DEPENDS resource_pack ${RES_ZIP_SOURCES} ${RES_TABLES} ${RES_THEME_ART_FILES}
    ${LAUNCHER_ROBOTO_REGULAR} ${LAUNCHER_ROBOTO_BOLD}
  COMMENT "Resource archive resources.rar"
  VERBATIM)

file(GLOB_RECURSE RES_SED_SOURCES CONFIGURE_DEPENDS ${RES_SOURCE}/sed/*)
add_custom_command(OUTPUT ${RES_OUT}/sed.rar
  COMMAND resource_pack archive ${RES_OUT}/sed.rar ${RES_SOURCE}/sed
  DEPENDS resource_pack ${RES_SED_SOURCES}
  COMMENT "Tool archive sed.rar"
  VERBATIM)

set(RES_MARKER_TYPES SERVER_URL UPDATE_PATH LANGUAGE AFFILIATE_ID REFERRER_ID PROMOCODE)
set(RES_MARKER_IDS 132 133 134 135 136 137)
set(RES_MARKERS)
set(RES_EMBED_ARGS ZIP:130:${RES_OUT}/resources.rar SED:131:${RES_OUT}/sed.rar)
foreach(type id IN ZIP_LISTS RES_MARKER_TYPES RES_MARKER_IDS)
  list(APPEND RES_MARKERS ${RES_OUT}/markers/${type}.bin)
  list(APPEND RES_EMBED_ARGS ${type}:${id}:${RES_OUT}/markers/${type}.bin)
endforeach()
add_custom_command(OUTPUT ${RES_MARKERS}
  COMMAND resource_pack markers ${RES_SOURCE}/markers.txt ${RES_OUT}/markers
  DEPENDS resource_pack ${RES_SOURCE}/markers.txt
  COMMENT "Marker records"
  VERBATIM)

set(RES_BINARIES ${RES_OUT}/resources.rar ${RES_OUT}/sed.rar ${RES_MARKERS})
add_custom_command(OUTPUT ${RES_OUT}/embedded_resources.cc
  COMMAND resource_pack embed ${RES_OUT}/embedded_resources.cc ${RES_EMBED_ARGS}
  DEPENDS resource_pack ${RES_BINARIES}
  COMMENT "Embedded resource table"
  VERBATIM)
# The object embeds the binaries with .incbin: rebuild it when they change.
set_source_files_properties(${RES_OUT}/embedded_resources.cc PROPERTIES
  OBJECT_DEPENDS "${RES_BINARIES}")
target_sources(launcher PRIVATE ${RES_OUT}/embedded_resources.cc)

if(TARGET launcher_tests)
  # Tests stamp real launchers, draw the theme's atlases again and read the
  # built archive back.
  add_dependencies(launcher_tests launcher_stamp theme_art)
  target_compile_definitions(launcher_tests PRIVATE
    LAUNCHER_STAMP_PATH="$<TARGET_FILE:launcher_stamp>"
    LAUNCHER_THEME_ART_PATH="$<TARGET_FILE:theme_art>"
    LAUNCHER_RESOURCE_ARCHIVE="${RES_OUT}/resources.rar")
endif()
