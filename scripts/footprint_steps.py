#!/usr/bin/env python3
"""Where start-up time and memory go: reads the "steps <who> <run> <microseconds> <private bytes
or -> <step>" lines that scripts/footprint.sh writes for the installer ("exe") and the yardstick,
and prints one row per step with the median time it took in each, in milliseconds, with the
quartiles, and the median private bytes at its end. A step's time runs from the step before it;
being seen on screen is counted from "shown", since what the program does after showing its
window overlaps with the wait for the window to be seen."""
import collections
import sys

SHOWN = "shown"
SEEN = "seen on screen"
WHO = ("exe", "yardstick")


def at(values, q):
    """The same order statistic as the shell script's sorted_at."""
    ordered = sorted(values)
    return ordered[int(q * (len(ordered) - 1) + 0.5)]


def steps_of(stamps):
    """(step, milliseconds, private KiB or None) of one run, in the order the steps happened."""
    ordered = sorted((t, name) for name, (t, _) in stamps.items() if name != SEEN)
    steps = []
    for (previous, _), (t, name) in zip(ordered, ordered[1:]):
        private = stamps[name][1]
        steps.append((name, (t - previous) / 1000, private / 1024 if private is not None else None))
    if SEEN in stamps and SHOWN in stamps:
        steps.append((SEEN, (stamps[SEEN][0] - stamps[SHOWN][0]) / 1000, None))
    if SEEN in stamps and "launch" in stamps:
        steps.append(("total", (stamps[SEEN][0] - stamps["launch"][0]) / 1000, None))
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
            fields = line.split(maxsplit=5)
            if len(fields) == 6 and fields[0] == "steps":
                private = None if fields[4] == "-" else int(fields[4])
                runs[(fields[1], fields[2])][fields[5].strip()] = (int(fields[3]), private)
    times = {who: collections.defaultdict(list) for who in WHO}
    memory = {who: collections.defaultdict(list) for who in WHO}
    order = {who: [] for who in WHO}
    for (who, _), stamps in sorted(runs.items()):
        for name, ms, kib in steps_of(stamps):
            times[who][name].append(ms)
            if kib is not None:
                memory[who][name].append(kib)
            if name not in order[who]:
                order[who].append(name)

    def time_cell(who, name):
        values = times[who].get(name)
        return f"{at(values, 0.5):7.1f} ({at(values, 0.25):.1f}-{at(values, 0.75):.1f})" if values else "-"

    def memory_cell(who, name):
        values = memory[who].get(name)
        return f"{at(values, 0.5):7.0f}" if values else "-"

    rows = merged_order(order["exe"], order["yardstick"])
    width = max(len(name) for name in rows)
    print(f"  {'step':<{width}}  {'installer ms (quartiles)':<26}{'yardstick ms (quartiles)':<26}"
          f"{'difference':<12}private KiB after: installer, yardstick")
    for name in rows:
        exe, yard = times["exe"].get(name), times["yardstick"].get(name)
        difference = (at(exe, 0.5) if exe else 0) - (at(yard, 0.5) if yard else 0)
        print(f"  {name:<{width}}  {time_cell('exe', name):<26}{time_cell('yardstick', name):<26}"
              f"{difference:+8.1f}    {memory_cell('exe', name):>8}  {memory_cell('yardstick', name):>8}")
    counts = collections.Counter(who for who, _ in runs)
    print(f"  medians of {counts['exe']} installer and {counts['yardstick']} yardstick runs; "
          f"the steps after '{SHOWN}' overlap with '{SEEN}'")


if __name__ == "__main__":
    main(sys.argv[1])
