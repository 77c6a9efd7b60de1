# The work editor's and the settings dialog's tests (included by tests/config/CMakeLists.txt;
# tests/shell includes it when that has not happened).
kw_add_test(config_editwork_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/editwork_test.cpp LIBS kw_config)
kw_add_test(config_changepid_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/changepid_test.cpp LIBS kw_config)
# The two dialogs themselves, created and driven under Wine.
set(_kw_dialog_libs kw_dialogs_win32 kw_ui_win32 kw_config kw_ftp kw_lang kw_widgets
    kw_platform kw_test_ui comctl32 gdi32 user32)
kw_add_test(config_editwork_dialog_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/editwork_dialog_win32_test.cpp
            LIBS ${_kw_dialog_libs} WIN_ONLY)
kw_add_test(config_changepid_dialog_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/changepid_dialog_win32_test.cpp
            LIBS ${_kw_dialog_libs} WIN_ONLY)
# The editor's escaping choice, preview and tag reference, driven under Wine.
kw_add_test(config_editwork_preview_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/editwork_preview_win32_test.cpp
            LIBS kw_dialogs_win32 ${_kw_dialog_libs} kw_render WIN_ONLY)
