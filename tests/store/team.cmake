# The statistics, activity, team and profile screens' decisions, models and sheet drafts, and
# the same objects end to end. Included from this folder's CMakeLists.txt.
corvane_test(tst_team_screens LIBS corvaneplugin SOURCES tst_team_screens.cpp)
corvane_test(tst_team_e2e LIBS corvaneplugin SOURCES tst_team_e2e.cpp)
