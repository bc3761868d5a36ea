# Sourced by the whole-run scripts.
# figures FILE: "WALL CPU PEAK_KB" from the output of /usr/bin/time -v.
figures() {
  awk '/Elapsed \(wall clock\)/ { n = split($NF, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i] }
       /User time|System time/ { cpu += $NF }
       /Maximum resident set size/ { kb = $NF }
       END { print s, cpu, kb }' "$1"
}

# timed LABEL COMMAND...: runs the command under /usr/bin/time -v (its output thrown away, the
# figures in $work/time.txt) and prints one line of figures; sets $wall, $cpu (seconds) and
# $kb (peak). A failed command stops the script with its last lines. $label_width (default 34)
# sets the width of the label column.
timed() {
  local label=$1
  shift
  /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt" || { tail -n 5 "$work/time.txt" >&2; exit 1; }
  read -r wall cpu kb < <(figures "$work/time.txt")
  printf "%-${label_width:-34}s %7.2f s wall %7.2f s cpu %8.1f MB\n" "$label" "$wall" "$cpu" \
    "$(echo "$kb / 1024" | bc -l)"
}
