# The two modal dialogs and the embedded pictures.
target_sources(quillon_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/PwdDlg.h ${CMAKE_CURRENT_LIST_DIR}/PwdDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CfgDlg.h ${CMAKE_CURRENT_LIST_DIR}/CfgDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/assets/Assets.h ${CMAKE_CURRENT_LIST_DIR}/assets/Assets.cpp
    ${CMAKE_CURRENT_LIST_DIR}/assets/assets.qrc
)
