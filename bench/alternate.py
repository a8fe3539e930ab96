#!/usr/bin/env python3
"""alternate.py - median wall times of two commands run in turn (A B A B ...) after a warm-up.

Usage: alternate.py RUNS COMMAND_A... --- COMMAND_B...
Prints the two medians in milliseconds. Taking turns spreads the noise of a
shared machine over both commands alike.
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
    split = sys.argv.index("---")
    commands = (sys.argv[2:split], sys.argv[split + 1:])
    for command in commands:
        wall_time(command)  # warm-up: page cache, dynamic loader
    times = ([], [])
    for _ in range(runs):
        for command, samples in zip(commands, times):
            samples.append(wall_time(command))
    print(" ".join(f"{statistics.median(t) * 1000:.1f}" for t in times))


if __name__ == "__main__":
    main()
