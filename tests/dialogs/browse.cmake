add_qt_test(tst_browsedialogs SOURCES tst_browsedialogs.cpp Modals.h LIBS tavril_browse_dialogs)
