# The application's screens under Qt Quick Test against the reference server (the shell's and the
# administrator's, and the shared widgets; their rules in C++ are tst_ui_rules), the start without
# a system tray (with one: tst_app_machine). Included from this folder's CMakeLists.txt.
corvane_test(tst_screens_qml LIBS corvaneplugin Qt6::QuickTest SOURCES tst_screens_qml.cpp)
target_compile_definitions(tst_screens_qml PRIVATE QUICK_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/qml")
file(GLOB SCREENS_QML_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/qml/*.qml)
set_property(TARGET tst_screens_qml APPEND PROPERTY SOURCES ${SCREENS_QML_TESTS})

# The start without a tray runs offscreen, where no tray exists.
corvane_test(tst_app_start LIBS corvaneplugin SOURCES tst_app_start.cpp ENV CORVANE_APP_BIN=$<TARGET_FILE:corvane-team>)
add_dependencies(tst_app_start corvane-team)

# The main window driven by mouse and keyboard against a server whose figures move, with window
# resizes while answers land; one round here, many under the sanitizers in scripts/soak.sh.
corvane_test(tst_gui_soak LIBS corvaneplugin SOURCES tst_gui_soak.cpp ENV QT_QPA_PLATFORM=xcb WRAPPER xvfb-run -a -s "-screen 0 1700x1100x24")
