add_library(tavril_upgrade STATIC
    ${CMAKE_CURRENT_LIST_DIR}/WhatsNewDlg.h ${CMAKE_CURRENT_LIST_DIR}/WhatsNewDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WhatsNewDlg.ui)
target_include_directories(tavril_upgrade PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tavril_upgrade PUBLIC Qt5::Widgets Qt5::Network)
