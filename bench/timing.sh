# Timing helpers shared by the benchmark scripts (sourced, not run).

elapsed() { # command... ; prints the wall seconds of one run
  # EPOCHREALTIME is read by the shell itself, so no process start falls into the interval.
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

seconds() { # command... ; prints the wall seconds of the best of RUNS runs (default 3)
  local best=""
  for _ in $(seq "${RUNS:-3}"); do
    best=$(smaller "$(elapsed "$@")" "$best")
  done
  echo "$best"
}
