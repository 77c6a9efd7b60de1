# The work editor's and the settings dialog's tests (included by tests/config/CMakeLists.txt;
# tests/shell includes it when that has not happened).
kw_add_test(config_editwork_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/editwork_test.cpp LIBS kw_config)
kw_add_test(config_changepid_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/changepid_test.cpp LIBS kw_config)
