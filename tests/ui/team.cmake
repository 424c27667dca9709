# The administrator's screens (AI resources, statistics, activity, team, profile) under Qt Quick
# Test, against the reference server with the demo team. Included from this folder's CMakeLists.txt.
corvane_test(tst_team_qml LIBS corvaneplugin Qt6::QuickTest SOURCES tst_team_qml.cpp)
target_compile_definitions(tst_team_qml PRIVATE QUICK_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/qml_team")
file(GLOB TEAM_QML_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/qml_team/*.qml)
set_property(TARGET tst_team_qml APPEND PROPERTY SOURCES ${TEAM_QML_TESTS})
