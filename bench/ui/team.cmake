# The team screens: roster filtering and the first frame of each section. Run under Xvfb:
#   xvfb-run -a bench/ui/bench_team
corvane_bench(bench_team
  LIBS corvane corvaneplugin corvane_testkit
  SOURCES bench_team.cpp)
target_compile_definitions(bench_team PRIVATE
  CORVANE_SERVER_PATH="$<TARGET_FILE:corvane-team-server>")
add_dependencies(bench_team corvane-team-server)
