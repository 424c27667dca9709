# The statistics, activity, team and profile screens' objects end to end (their decisions, models
# and sheet drafts without a server are in tst_store_models). Included from this folder's
# CMakeLists.txt.
corvane_test(tst_team_e2e LIBS corvaneplugin SOURCES tst_team_e2e.cpp)
