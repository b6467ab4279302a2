# The contents, bookmark and find dialogs, and the commands that run them.
add_library(tavril_browse_dialogs STATIC
    ContentModel.h ContentModel.cpp
    ContentsDialog.h ContentsDialog.cpp ContentsDialog.ui
    BookmarkModel.h BookmarkModel.cpp
    fitCharCount.h fitCharCount.cpp
    BookmarkItemDelegate.h BookmarkItemDelegate.cpp
    BookmarkDialog.h BookmarkDialog.cpp BookmarkDialog.ui
    KeywordSearch.h KeywordSearch.cpp
    BookTextLayout.h BookTextLayout.cpp
    BookTextView.h BookTextView.cpp
    FindDialog.h FindDialog.cpp FindDialog.ui
    BrowseCommands.h BrowseCommands.cpp)
target_include_directories(tavril_browse_dialogs PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tavril_browse_dialogs PUBLIC tavril_view)
