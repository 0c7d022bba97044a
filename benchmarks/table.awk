# The table of ./bench from the "figure NAME VALUE" lines of the benchmark
# programs. A ratio goal on a floor of 0 holds only for a figure of 0.
function line(label, measured, floor, ratio, goal, result) {
  printf "| %-38s | %9s | %-16s | %6s | %-8s | %-6s |\n", label, measured, floor, ratio, goal, result
}
function row(label, key, floor, floorText, goalKind, goal, goalText,   v, ratio, ok) {
  if (!(key in value)) { line(label, "none", floorText, "", goalText, "MISS"); missed++; return }
  v = value[key] + 0
  ratio = floor > 0 ? sprintf("%.4f", v / floor) : "-"
  if (goalKind == "ratio") ok = floor > 0 ? v / floor <= goal : v <= 0
  else if (goalKind == "atmost") ok = v <= goal
  else if (goalKind == "atleast") ok = v >= goal
  else ok = v < goal
  if (!ok) missed++
  line(label, value[key], floorText, ratio, goalText, ok ? "PASS" : "MISS")
}
# A figure given more than once (Find and its look-ups are) counts at its best.
$1 == "figure" && (!($2 in value) || $3 + 0 < value[$2] + 0) { value[$2] = $3 }
END {
  printf "Load average when the run started (1, 5, 15 min): %s\n\n", load
  line("Figure", "Measured", "Floor", "Ratio", "Goal", "Result")
  printf "|%s|%s|%s|%s|%s|%s|\n", "----------------------------------------", "-----------",
    "------------------", "--------", "----------", "--------"
  row("1a Command write, virtual ms", "write_virtual_ms", 2000, "2000", "ratio", 1.05, "<= 1.05")
  row("1b Command write, Wine ms", "write_wine_ms", 2000, "2000", "ratio", 1.05, "<= 1.05")
  row("2a Communication test, virtual ms", "commtest_virtual_ms", 2000, "2000", "ratio", 1.05, "<= 1.05")
  row("2b Communication test, Wine ms", "commtest_wine_ms", 2000, "2000", "ratio", 1.05, "<= 1.05")
  enumMs = ("enum_wine_ms" in value) ? value["enum_wine_ms"] + 0 : 0
  row("3  Find, no printers, Wine ms", "find_wine_ms", enumMs, value["enum_wine_ms"] " (288 bare)",
      "ratio", 1.2, "<= 1.2")
  row("4a GetUSBSerialNumber, virtual ms", "serial_virtual_ms", 0, "0 (pauses)", "ratio", 1.05, "<= 1.05")
  row("4b GetUSBSerialNumber, Wine ms", "serial_wine_ms", 0, "0 (pauses)", "below", 150, "< 150 ms")
  row("4c 4a with stale replies, virtual ms", "serial_stale_virtual_ms", 0, "0 (pauses)", "ratio", 1.05, "<= 1.05")
  row("5  CPU, 2000 ms emptying, Wine %", "emptying_cpu_percent", 0, "-", "atmost", 2, "<= 2 %")
  findMs = ("fleet_find_wine_ms" in value) ? value["fleet_find_wine_ms"] + 0 : 0
  row("6  Console list, fleet, Wine ms", "list_wine_ms", findMs, value["fleet_find_wine_ms"] " (Find)",
      "ratio", 1.2, "<= 1.2")
  list8 = ("list8_native_ms" in value) ? value["list8_native_ms"] + 0 : 0
  row("7a List of 64 printers, native ms", "list64_native_ms", list8,
      value["list8_native_ms"] " (8)", "ratio", 10, "<= 10")
  list8 = ("list8_wine_ms" in value) ? value["list8_wine_ms"] + 0 : 0
  row("7b List of 64 printers, Wine ms", "list64_wine_ms", list8,
      value["list8_wine_ms"] " (8)", "ratio", 10, "<= 10")
  setMs = ("set_virtual_ms" in value) ? value["set_virtual_ms"] + 0 : 0
  row("8  Station cycle, virtual ms", "station_cycle_virtual_ms", setMs, value["set_virtual_ms"] " (set)",
      "ratio", 1.2, "<= 1.2")
  row("9  Eight stations, one pool, codes/s", "plant_codes_per_s", 0, "-", "atleast", 100, ">= 100/s")
  printf "\nWine times are medians. Find and the bare look-ups: the best of 5 runs of 25\n"
  printf "rounds each, after a warm-up; writes and tests: 3 runs; serial reads: 9 runs, each\n"
  printf "tracing the bus anew. CPU share: over 5 emptyings together (the system counts\n"
  printf "processor time in 10 ms ticks). List: the window program's Find and the console's\n"
  printf "list (that Find, the USB locations, the JSON) on the default fleet, alternately,\n"
  printf "the best of 5 runs of 100 rounds each. Console list on generated fleets of 8 and\n"
  printf "64 printer-class printers behind chains of hubs (the goal: linear, 8 x 1.25):\n"
  printf "natively the whole nolpaidc process, the median of 5 runs; under Wine the list\n"
  printf "in the benchmark's process, the best of 3 runs of 9 rounds each. Station: from the\n"
  printf "printer plugged in to its OK line, the mean of 10 plug-in moments; set: the whole\n"
  printf "run on the same printer. Eight stations: eight processes taking 100 codes each\n"
  printf "from one counter pool of a scratch PostgreSQL 15 server on loopback, each code\n"
  printf "reserved in a committed transaction and then recorded written; the median of 3 runs.\n"
  if (value["find_wine_devices"] + 0 > 0)
    printf "Find listed %d device(s): figure 3 is not a Find of an empty system.\n", value["find_wine_devices"]
  printf "%d figure(s) missed the goal.\n", missed
}
