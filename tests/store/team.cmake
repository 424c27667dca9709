# The statistics, activity, team and profile screens' decisions, models and sheet drafts.
# Included from this folder's CMakeLists.txt.
corvane_test(tst_team_screens LIBS corvane corvaneplugin SOURCES tst_team_screens.cpp)
