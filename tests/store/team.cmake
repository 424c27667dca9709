# The statistics, activity, team and profile screens' decisions, models and sheet drafts.
# Included from this folder's CMakeLists.txt.
corvane_test(tst_team_screens LIBS corvane corvaneplugin SOURCES tst_team_screens.cpp)
corvane_test(tst_team_e2e LIBS corvane corvaneplugin Qt6::HttpServer Qt6::Network
  SOURCES tst_team_e2e.cpp fakeserver.h storekit.h)
add_dependencies(tst_team_e2e corvane-team-server)
