# Reads a saver's --tick-log (the X11 or the Wayland one) and reports: the
# drawing thread's CPU over the first picture's reveal as a share of one
# core, the longest gap between two steps of the cycle (and the longest step)
# from the hold's end through the next picture's first 100 ticks, and on
# Wayland the commits of the first reveal and of the holds.
#   awk -v check=1 -f tick-log.awk LOG    fails over 5 %, 50 ms, or with commits in a hold
# step START_US END_US THREAD_CPU_US
/^first/ { revealFrom = $3; cpuFrom = $4 }
/^hold / && holds == 0 { holds = 1; revealTo = lastEnd; cpuTo = lastCpu }
/^hold-end/ { changing = 1; prev = 0 }
/^picture/ && changing { pictures++ }
changing && /^(tick|hold-end)/ {
    if (prev) { gap = $2 - prev; if (gap > maxGap) maxGap = gap }
    if ($3 - $2 > maxStep) maxStep = $3 - $2
    prev = $2
    if (pictures >= 1 && /^tick/ && ++after >= 100) changing = 0
}
/^(tick|hold-end|first)/ { lastEnd = $3; lastCpu = $4 }
# Wayland: commit OUTPUT FIRST_ROW LAST_ROW BUFFER TIME_US, at most one per frame callback
# A commit counts as one of the hold when it comes over 50 ms after the hold
# began (the last rows of a reveal may wait for one more frame callback) and
# before the hold-end step started (whose line follows its commits).
/^commit/ { commits++; if (holding) held[++nHeld] = $6 }
/^commit/ && !holds { firstCommits++; lastCommit = $6 }
/^hold / { holding = 1; holdAt = $2; nHeld = 0 }
/^hold-end/ { countHeld($2); holding = 0 }
function countHeld(until,    i) {
    for (i = 1; i <= nHeld; i++) if (held[i] - holdAt > 50000 && held[i] < until) holdCommits++
    nHeld = 0
}
END {
    if (holding) countHeld(1e18)
    share = 100 * (cpuTo - cpuFrom) / (revealTo - revealFrom)
    printf "reveal of the first picture: %.2f s wall, %.1f ms CPU of the drawing thread = %.2f %% of one core\n",
           (revealTo - revealFrom) / 1e6, (cpuTo - cpuFrom) / 1e3, share
    printf "picture change: longest gap between two steps %.1f ms, longest step %.1f ms\n", maxGap / 1e3, maxStep / 1e3
    if (commits) {
        printf "commits: %d over the first reveal (%.0f a second), %d during holds\n", firstCommits,
               firstCommits / ((lastCommit - revealFrom) / 1e6), holdCommits
        if (check && holdCommits) { print "FAIL: commits during a hold"; exit 1 }
    }
    if (check && (share > 5 || maxGap > 50000 || !holds)) { print "FAIL: over the targets (5 %, 50 ms)"; exit 1 }
}
