# The preference dialog and the small widgets of its form.
set(PREFERENCE_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(tavril_preference_dialogs STATIC
    ${PREFERENCE_DIR}/ColorButton.h ${PREFERENCE_DIR}/ColorButton.cpp
    ${PREFERENCE_DIR}/JComboBox.h ${PREFERENCE_DIR}/JComboBox.cpp
    ${PREFERENCE_DIR}/LinkLabel.h ${PREFERENCE_DIR}/LinkLabel.cpp
    ${PREFERENCE_DIR}/PreferenceDialog.h ${PREFERENCE_DIR}/PreferenceDialog.cpp
    ${PREFERENCE_DIR}/PreferenceDialogShortcuts.cpp ${PREFERENCE_DIR}/PreferenceDialogChapters.cpp
    ${PREFERENCE_DIR}/PreferenceDialog.ui)
target_include_directories(tavril_preference_dialogs PUBLIC ${PREFERENCE_DIR})
# The about page's picture comes from tavril_res, which the executable links.
target_link_libraries(tavril_preference_dialogs PUBLIC tavril_view tavril_hotkey tavril_upgrade tavril_app Qt5::Widgets)
