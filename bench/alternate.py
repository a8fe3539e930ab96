#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""alternate.py - median wall times of commands run in turn (A B C A B C ...) after a warm-up.

Usage: alternate.py RUNS COMMAND_A... --- COMMAND_B... [--- COMMAND_C...]
Prints the medians in milliseconds, in the order of the commands. Taking turns
spreads the noise of a shared machine over all the commands alike.
"""
import statistics
import subprocess
import sys
import time


def wall_time(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def main():
    runs = int(sys.argv[1])
    commands = [[]]
    for arg in sys.argv[2:]:
        if arg == "---":
            commands.append([])
        else:
            commands[-1].append(arg)
    if len(commands) < 2 or not all(commands):
        sys.exit("usage: alternate.py RUNS COMMAND_A... --- COMMAND_B... [--- COMMAND_C...]")
    for command in commands:
        wall_time(command)  # warm-up: page cache, dynamic loader
    times = [[] for _ in commands]
    for _ in range(runs):
        for command, samples in zip(commands, times):
            samples.append(wall_time(command))
    print(" ".join(f"{statistics.median(t) * 1000:.1f}" for t in times))


if __name__ == "__main__":
    main()
