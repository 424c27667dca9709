# The application shell: its rules in C++, its screens under Qt Quick Test against the reference
# server, the start with and without a system tray. Included from this folder's CMakeLists.txt.
corvane_test(tst_app_rules LIBS corvaneplugin SOURCES tst_app_rules.cpp)

corvane_test(tst_app_qml LIBS corvaneplugin Qt6::QuickTest SOURCES tst_app_qml.cpp)
target_compile_definitions(tst_app_qml PRIVATE QUICK_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/qml_app")
file(GLOB APP_QML_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/qml_app/*.qml)
set_property(TARGET tst_app_qml APPEND PROPERTY SOURCES ${APP_QML_TESTS})

# The start without a tray runs offscreen, where no tray exists.
corvane_test(tst_app_start LIBS corvaneplugin SOURCES tst_app_start.cpp ENV CORVANE_APP_BIN=$<TARGET_FILE:corvane-team>)
add_dependencies(tst_app_start corvane-team)

# The tray needs an X server with a tray host: Xvfb and trayer.
corvane_test(tst_app_tray LIBS corvaneplugin SOURCES tst_app_tray.cpp ENV QT_QPA_PLATFORM=xcb WRAPPER xvfb-run -a)

# The main window driven by mouse and keyboard against a server whose figures move, with window
# resizes while answers land; one round here, many under the sanitizers in scripts/soak.sh.
corvane_test(tst_gui_soak LIBS corvaneplugin SOURCES tst_gui_soak.cpp ENV QT_QPA_PLATFORM=xcb WRAPPER xvfb-run -a -s "-screen 0 1700x1100x24")
