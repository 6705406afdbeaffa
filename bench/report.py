#!/usr/bin/env python3
"""Prints each benchmark case as a ratio to its group's baseline.

Naming: a benchmark called `Group_Case[/args]` is compared with
`Group_Baseline[/same args]` from the same run, or with the benchmark that
its label names as `baseline=NAME`. Reads Google Benchmark JSON
files given on the command line; `FILE@MARK` puts MARK before the names
of that file's rows.

Goals are counters named `goal_WHAT`, each an upper bound on WHAT: the
ratio, the time in milliseconds (`ms`), or the counter named WHAT.
"""
import json
import sys

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def split(name):
    head, _, args = name.partition("/")
    group, _, case = head.partition("_")
    # How a case is run is no part of what it measures.
    args = "/".join(a for a in args.split("/")
                    if a and not a.startswith(("iterations:", "repeats:")) and a != "manual_time")
    return group, case, args


def measured(report):
    """Each benchmark once: a repeated one by the median of its repetitions."""
    medians = {b["run_name"]: b for b in report["benchmarks"] if b.get("aggregate_name") == "median"}
    runs = {}
    for b in report["benchmarks"]:
        name = b.get("run_name", b["name"])
        if b.get("run_type", "iteration") == "iteration" and name not in runs:
            runs[name] = dict(medians.get(name, b), name=name)
    return list(runs.values())


def main(paths):
    rows = []
    for arg in paths:
        path, _, mark = arg.partition("@")
        with open(path, encoding="utf-8") as f:
            report = json.load(f)
        runs = measured(report)
        baselines = {}
        by_name = {b["name"].partition("/")[0]: b for b in runs}
        for b in runs:
            group, case, args = split(b["name"])
            if case == "Baseline":
                baselines[(group, args)] = b
        for b in runs:
            group, case, args = split(b["name"])
            if case == "Baseline":
                continue
            label = b.get("label", "")
            if label.startswith("baseline="):
                base = by_name.get(label[len("baseline="):])
            else:
                base = baselines.get((group, args))
            ratio = b["real_time"] / base["real_time"] if base else None
            values = dict(b, ratio=ratio, ms=b["real_time"] * TO_MS[b["time_unit"]])
            goals = [(k[5:], v, values.get(k[5:])) for k, v in b.items() if k.startswith("goal_")]
            rows.append((f"{mark} {b['name']}" if mark else b["name"], b["real_time"], b["time_unit"], ratio,
                         goals))
    width = max((len(r[0]) for r in rows), default=10)
    print(f"{'benchmark':<{width}}  {'time':>14}  {'x baseline':>10}  goal")
    for name, time, unit, ratio, goals in rows:
        ratio_text = f"{ratio:10.2f}" if ratio is not None else f"{'-':>10}"
        print(f"{name:<{width}}  {time:12.1f}{unit:>2}  {ratio_text}  {verdicts(goals)}")


def verdicts(goals):
    """Each goal with the measure it bounds; one missed, or not measured, says so."""
    texts = []
    for what, bound, value in goals:
        if value is None:
            texts.append(f"{what}<={bound:g} NOT MEASURED")
            continue
        shown = "" if what == "ratio" else f"{value:.3g} "
        texts.append(f"{what} {shown}<={bound:g} {'ok' if value <= bound else 'MISSED'}")
    return "  ".join(texts)


if __name__ == "__main__":
    main(sys.argv[1:])
