# Sourced by scripts/test.sh --sanitize and scripts/soak.sh: the sanitizer build folder and the
# options every sanitized run shares (any report fails the run that made it; what is left out
# of the reports and why: tests/sanitizers/*.supp).
sanitizer_build() {
  local root="$1" build="${CORVANE_ASAN_BUILD_DIR:-$1/build-asan}"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=ON \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
  fi
  echo "$build"
}
supp="$root/tests/sanitizers"
# Modules stay mapped until exit (why: tests/sanitizers/keepmodules.c). Preloaded ahead of the
# sanitizer runtime, hence verify_asan_link_order=0.
keep="${CORVANE_ASAN_BUILD_DIR:-$root/build-asan}/keepmodules.so"
if [ ! -f "$keep" ] || [ "$supp/keepmodules.c" -nt "$keep" ]; then
  mkdir -p "$(dirname "$keep")" && cc -shared -fPIC -O2 -o "$keep" "$supp/keepmodules.c"
fi
export LD_PRELOAD="$keep${LD_PRELOAD:+:$LD_PRELOAD}"
export ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:suppressions=$supp/asan.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
