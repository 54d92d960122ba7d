# Timing helpers shared by the benchmark scripts (sourced, not run).

elapsed() { # command... ; prints the wall seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

seconds() { # command... ; prints the wall seconds of the best of three runs
  local best=""
  for _ in 1 2 3; do
    best=$(smaller "$(elapsed "$@")" "$best")
  done
  echo "$best"
}
