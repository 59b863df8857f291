#!/usr/bin/env python3
"""Where start-up time goes: reads the "steps <who> <run> <microseconds> <step>" lines that
scripts/footprint.sh writes for the installer ("exe") and the yardstick, and prints one row per
step with the median time it took in each, in milliseconds, and the quartiles. A step's time
runs from the step before it; being seen on screen is counted from "shown", since what the
program does after showing its window overlaps with the wait for the window to be seen."""
import collections
import sys

SHOWN = "shown"
SEEN = "seen on screen"
WHO = ("exe", "yardstick")


def at(values, q):
    """The same order statistic as the shell script's sorted_at."""
    ordered = sorted(values)
    return ordered[int(q * (len(ordered) - 1) + 0.5)]


def durations(stamps):
    """Milliseconds of each step of one run, in the order the steps happened."""
    ordered = sorted((t, name) for name, t in stamps.items() if name != SEEN)
    steps = [(name, (t - previous) / 1000) for (previous, _), (t, name) in zip(ordered, ordered[1:])]
    if SEEN in stamps and SHOWN in stamps:
        steps.append((SEEN, (stamps[SEEN] - stamps[SHOWN]) / 1000))
    if SEEN in stamps and "launch" in stamps:
        steps.append(("total", (stamps[SEEN] - stamps["launch"]) / 1000))
    return steps


def merged_order(first, second):
    """The first program's steps in order, the second's own steps after the step they follow."""
    order = list(first)
    for i, name in enumerate(second):
        if name in order:
            continue
        before = next((n for n in reversed(second[:i]) if n in order), None)
        order.insert(order.index(before) + 1 if before else 0, name)
    return order


def main(path):
    runs = collections.defaultdict(dict)
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            fields = line.split(maxsplit=4)
            if len(fields) == 5 and fields[0] == "steps":
                runs[(fields[1], fields[2])][fields[4].strip()] = int(fields[3])
    times = {who: collections.defaultdict(list) for who in WHO}
    order = {who: [] for who in WHO}
    for (who, _), stamps in sorted(runs.items()):
        for name, ms in durations(stamps):
            times[who][name].append(ms)
            if name not in order[who]:
                order[who].append(name)

    def cell(who, name):
        values = times[who].get(name)
        if not values:
            return "-"
        return f"{at(values, 0.5):7.1f} ({at(values, 0.25):.1f}-{at(values, 0.75):.1f})"

    rows = merged_order(order["exe"], order["yardstick"])
    width = max(len(name) for name in rows)
    print(f"  {'step':<{width}}  {'installer ms, median (quartiles)':<34}{'yardstick ms, median (quartiles)':<34}difference")
    for name in rows:
        exe, yard = times["exe"].get(name), times["yardstick"].get(name)
        difference = at(exe, 0.5) - at(yard, 0.5) if exe and yard else at(exe or yard, 0.5) * (1 if exe else -1)
        print(f"  {name:<{width}}  {cell('exe', name):<34}{cell('yardstick', name):<34}{difference:+7.1f}")
    print(f"  runs: installer {len([k for k in runs if k[0] == 'exe'])}, yardstick "
          f"{len([k for k in runs if k[0] == 'yardstick'])}; the steps after '{SHOWN}' overlap with '{SEEN}'")


if __name__ == "__main__":
    main(sys.argv[1])
