set(PREFERENCE_TEST_SUPPORT PreferenceTestSupport.h)
add_qt_test(tst_colorbutton SOURCES tst_colorbutton.cpp ${PREFERENCE_TEST_SUPPORT} LIBS tavril_preference_dialogs)
add_qt_test(tst_jcombobox SOURCES tst_jcombobox.cpp ${PREFERENCE_TEST_SUPPORT} LIBS tavril_preference_dialogs)
add_qt_test(tst_linklabel SOURCES tst_linklabel.cpp ${PREFERENCE_TEST_SUPPORT} LIBS tavril_preference_dialogs)

# The dialog on a reading window with a book open, to see the window follow.
set(PREFERENCE_FIXTURE ${PREFERENCE_TEST_SUPPORT} PreferenceFixture.h)
add_qt_test(tst_preferencedialog SOURCES tst_preferencedialog.cpp ${PREFERENCE_FIXTURE}
    LIBS tavril_preference_dialogs tavril_window tavril_res Qt5::Network)
add_qt_test(tst_preferencedialog_shortcuts SOURCES tst_preferencedialog_shortcuts.cpp ${PREFERENCE_FIXTURE}
    LIBS tavril_preference_dialogs tavril_window tavril_res Qt5::Network)

# Pictures of the three tabs for reviewers, in build/screenshots/preference_<tab>.png.
add_qt_test(tst_preferencedialog_screens SOURCES tst_preferencedialog_screens.cpp ${PREFERENCE_TEST_SUPPORT}
    LIBS tavril_preference_dialogs tavril_res DISPLAY)
target_compile_definitions(tst_preferencedialog_screens PRIVATE TAVRIL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
