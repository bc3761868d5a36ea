# Sourced by the whole-run scripts.
# figures FILE: "WALL CPU PEAK_KB" from the output of /usr/bin/time -v.
figures() {
  awk '/Elapsed \(wall clock\)/ { n = split($NF, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i] }
       /User time|System time/ { cpu += $NF }
       /Maximum resident set size/ { kb = $NF }
       END { print s, cpu, kb }' "$1"
}
