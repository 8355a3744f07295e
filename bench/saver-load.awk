# Summary of a run of saver-load.sh: CPU shares per phase and the window's
# answers. Reads, in this order:
#   probe.txt    "visible UNIX", then "UNIX WINE MS" per probe (window_probe.exe)
#   timers.txt   Wine's +timestamp,+msg trace lines "NtUserSetTimer Added HWND ID ..."
#   samples.txt  "UNIX PROCESS_TICKS WINDOW_THREAD_TICKS" every 100 ms
# hz: clock ticks a second; hold: the hold in seconds (Time_Show). Every number read is forced numeric (+ 0): mawk
# compares a field kept in a variable as a string.
FILENAME ~ /probe/ {
    if ($1 == "visible") { visible = $2 + 0; next }
    if (NF != 3) next
    if (offset == "") offset = $1 - $2
    answers[++probes] = $3 + 0
    answerAt[probes] = $1 + 0
    last = $1 + 0
    next
}
FILENAME ~ /timers/ {
    split($1, stamp, ":")
    for (i = 1; i <= NF; i++) if ($i == "Added") id = $(i + 2)
    eventWine[++events] = stamp[1] + 0
    eventKind[events] = (id == 2 ? "hold" : "reveal")
    next
}
FILENAME ~ /samples/ { t[++samples] = $1 + 0; proc[samples] = $2 + 0; win[samples] = $3 + 0 }
END {
    if (!probes || !samples) { print "no probes or no samples"; exit 1 }
    # The phases: a reveal from the moment the window shows; then each
    # timer started ends the phase before. A hold lasts `hold` seconds; when
    # the reveal timer starts later than that, the time between is the
    # picture change (the hold's end working until the next reveal).
    phases = 1; kind[1] = "reveal"; from[1] = visible
    for (e = 1; e <= events; e++) {
        at = eventWine[e] + offset
        if (at <= visible) continue
        if (kind[phases] == "hold" && at - from[phases] > hold + 0.05) {
            to[phases] = from[phases] + hold
            kind[++phases] = "change"; from[phases] = to[phases - 1]
        }
        to[phases] = at
        kind[++phases] = eventKind[e]; from[phases] = at
    }
    to[phases] = last
    printf "%-7s %8s %8s %9s %9s %9s\n", "phase", "from s", "length s", "window %", "process %", "others %"
    for (p = 1; p <= phases; p++) {
        # The samples inside the phase.
        first = 0; final = 0
        for (s = 1; s <= samples; s++) {
            if (!first && t[s] >= from[p]) first = s
            if (t[s] <= to[p]) final = s
        }
        if (!first || final - first < 1) continue
        span = t[final] - t[first]
        w = (win[final] - win[first]) / hz; c = (proc[final] - proc[first]) / hz
        printf "%-7s %8.2f %8.2f %9.1f %9.1f %9.1f\n", kind[p], from[p] - visible, to[p] - from[p],
               100 * w / span, 100 * c / span, 100 * (c - w) / span
        totalSpan[kind[p]] += span; totalWin[kind[p]] += w; totalProc[kind[p]] += c
    }
    for (k in totalSpan)
        printf "all %-6s %8s %8.2f %9.1f %9.1f %9.1f\n", k "s", "", totalSpan[k], 100 * totalWin[k] / totalSpan[k],
               100 * totalProc[k] / totalSpan[k], 100 * (totalProc[k] - totalWin[k]) / totalSpan[k]
    longest = 0; over = 0
    for (i = 1; i <= probes; i++) {
        if (answers[i] > longest) { longest = answers[i]; longestAt = answerAt[i] - visible }
        if (answers[i] > 50) over++
    }
    for (i = 1; i <= probes; i++) {  # insertion sort, for the median
        v = answers[i]
        for (j = i - 1; j >= 1 && sorted[j] > v; j--) sorted[j + 1] = sorted[j]
        sorted[j + 1] = v
    }
    n = probes
    printf "answers: %d probes over %.1f s, median %.2f ms, longest %.1f ms (%.1f s after showing), %d over 50 ms\n",
           probes, last - visible, sorted[int((n + 1) / 2)], longest, longestAt, over
}
