# The dialog on a reading window with a book open, to see the window follow.
add_qt_test(tst_preferencedialog SOURCES tst_preferencedialog.cpp Modals.h
    LIBS tavril_preference_dialogs tavril_window tavril_res Qt5::Network)
