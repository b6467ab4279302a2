add_qt_test(tst_whatsnewdlg SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_whatsnewdlg.cpp LIBS tavril_upgrade)
