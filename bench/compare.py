#!/usr/bin/env python3
"""Times this build's `pelamo --tag` against another build of it, on the batch
benchmark's folders, with every flush to disk: the two take turns, file set by
file set, starting with the other one every other round, so a noisy machine
slows them alike. Reports the median wall time and peak memory of each and the
ratio this build / the other.

  compare.py BUILD_DIR OTHER_PELAMO [ROUNDS] [WORKLOAD...]   through scripts/bench.sh compare

Workloads: folder (200 files of about 1 MB), song (one of about 5 MB), long (20
of about 60 MB); folder and song unless named.
"""
import statistics
import sys

from benchlib import measure
from workloads import SHOW, WORKLOADS, check_pelamo, data, environment, fresh_copy, library, pelamo, prepare

other = sys.argv[2]
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 7
chosen = sys.argv[4:] or ["folder", "song"]
builds = {"this build": pelamo, "other build": other}


def run(workload, binary):
    work, files = fresh_copy(workload)
    output = data + "/output.txt"
    with open(output, "w") as out:
        timing = measure([binary, "--tag", "--show", SHOW, "--library", library, work], env=environment(), stdout=out)
    check_pelamo(output, files)
    return timing


prepare()
results = {(workload, name): [] for workload in chosen for name in builds}
print("this build: %s\nother build: %s\n%d rounds, the builds in turn, with every flush to disk" % (pelamo, other, rounds))
for workload in chosen:
    for binary in builds.values():
        run(workload, binary)  # untimed, so both start from a warm page cache
for round_index in range(rounds):
    order = list(builds.items())
    if round_index % 2:
        order.reverse()
    for workload in chosen:
        for name, binary in order:
            results[(workload, name)].append(run(workload, binary))
    print("  round %d of %d done" % (round_index + 1, rounds), flush=True)

print("\n%-28s %-12s %10s %14s %10s" % ("workload", "build", "wall s", "min..max s", "peak MB"))
for workload in chosen:
    for name in builds:
        times = [seconds for seconds, _ in results[(workload, name)]]
        peak = statistics.median(peak for _, peak in results[(workload, name)]) / 1024
        print("%-28s %-12s %10.3f %6.3f..%-7.3f %10.1f"
              % (WORKLOADS[workload][0], name, statistics.median(times), min(times), max(times), peak))
print()
for workload in chosen:
    mine = statistics.median(seconds for seconds, _ in results[(workload, "this build")])
    theirs = statistics.median(seconds for seconds, _ in results[(workload, "other build")])
    print("%s: this build / other build = %.3fx" % (WORKLOADS[workload][0], mine / theirs))
