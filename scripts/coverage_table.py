#!/usr/bin/env python3
"""Per-module line coverage of src/ (the simulated machine left out) from gcov's JSON.

Usage: coverage_table.py GCOV OBJECT_DIR native|windows
A line counts once however many translation units compile it (headers): executable if any
unit has code on it, covered if any unit ran it. Called by scripts/coverage.sh.
"""
import glob
import json
import os
import subprocess
import sys
import tempfile
import textwrap

MODULES = ["exports", "stutter", "iotuner", "affinity", "softdemote", "power", "memory", "disk",
           "boostutil", "restore", "platform", "platform/win32", "common"]
SRC = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", "src")) + os.sep

# What the Wine suite cannot reach, by reason: "file or folder under src/[:function,...]"
# (a function is matched by a part of its name). Hand-kept; an unrun line counts under the
# first reason that names it, and what none names is a gap the Wine suite could close.
WINE_CANNOT = [
    ("test resets: only the hermetic suite calls them",
     [":ForTests", "common/reset_registry.cpp"]),
    ("fewer than five processors (this machine: {cpus}): no affinity layout; the soft demotion's default "
     "layout needs four, or six and more",
     ["affinity/inverse_layout.cpp", "affinity/core_topology.cpp", "affinity/child_monitor",
      "affinity/boost.cpp:boost,holdOrReapply,newLayout,loadClassOf", "affinity/inverse_for_pid.cpp",
      "affinity/offender_inverse.cpp:moveOffender,eligible", "affinity/lifecycle.cpp:RefreshInverse",
      "affinity/affinity_state.cpp:SetInverseState,markReapplied,childMonitor", "affinity/process_utils.cpp",
      "softdemote/core_layout.cpp:defaultLayout"]),
    ("a routine Wine lacks: no active power scheme (PowerGetActiveScheme answers 120), no powrprof value "
     "reads or writes", ["power/driverless", "power/power_api.cpp:ResolvePlanGuid,setToZero,getActivePlan,setCpu",
                         "platform/win32/win32_power.cpp",
                         "platform/win32/win32_system.cpp:getLogicalProcessorInformationEx"]),
    ("a routine Wine lacks: GetProcessInformation (every process counts as protected)",
     ["platform/win32/win32_processes.cpp:getProcessInformation", "restore/process_normalize.cpp",
      "platform/win32/win32_token_user.cpp"]),
    ("a routine Wine lacks: I/O priority (NtSetInformationProcess answers 0xC0000002)",
     ["iotuner/tuner/inverse_priority.cpp:LowerIoPriority", "iotuner/tuner/priority_restore.cpp:restoreIo"]),
    ("a failure Wine does not produce: a missing routine, no memory, a page that fails to load",
     ["platform/win32/guarded_read.cpp", "platform/win32/win32_files.cpp:prefetchVirtualMemory",
      "platform/win32/win32_processes.cpp:isWow64Process,setProcessInformation",
      "platform/win32/win32_modules.cpp:startModuleThread,runModuleThread,ownModule",
      "platform/win32/win32_module_files.cpp", "platform/win32/win32_system_reset.cpp",
      "platform/win32/wine_process_times.cpp"]),
    ("no product code calls it",
     ["platform/win32/win32_processes.cpp:setProcessWorkingSetSize,startThread",
      "platform/win32/win32_platform.cpp", "platform/win32/win32_modules.cpp:hasRoutine"]),
]


def reason_of(path, function):
    rel = path[len(SRC):]
    for i, (_, entries) in enumerate(WINE_CANNOT):
        for entry in entries:
            where, _, names = entry.partition(":")
            if rel.startswith(where) and (not names or any(n in function for n in names.split(","))):
                return i
    return len(WINE_CANNOT)


def module_of(path):
    rel = path[len(SRC):]
    if rel.startswith("platform/sim/"):
        return None
    if rel.startswith("platform/win32/"):
        return "platform/win32"
    return rel.split("/")[0] if "/" in rel else None


def read_lines(gcov, objdir):
    """{(path, line): (covered, function)} over every object under objdir."""
    notes = sorted(glob.glob(os.path.join(os.path.abspath(objdir), "**", "*.gcno"), recursive=True))
    with tempfile.TemporaryDirectory() as tmp:
        out = subprocess.run([gcov, "--json-format", "--stdout", *notes], cwd=tmp, check=True,
                             capture_output=True, text=True).stdout
    lines = {}
    for doc in map(json.loads, out.splitlines()):
        for f in doc["files"]:
            path = os.path.normpath(os.path.join(doc["current_working_directory"], f["file"]))
            if not path.startswith(SRC) or module_of(path) is None:
                continue
            names = {fn["name"]: fn["demangled_name"] for fn in f["functions"]}
            for ln in f["lines"]:
                key = (path, ln["line_number"])
                was = lines.get(key, (False, ""))[0]
                lines[key] = (was or ln["count"] > 0, names.get(ln.get("function_name"), ""))
    return lines


def main(gcov, objdir, build):
    lines = read_lines(gcov, objdir)
    total, hit = {}, {}
    for (path, _), (covered, _) in lines.items():
        m = module_of(path)
        total[m] = total.get(m, 0) + 1
        hit[m] = hit.get(m, 0) + covered
    print(f"{'module':<16}{'lines':>7}{'run':>7}{'cover':>9}")
    for m in MODULES:
        if m in total:
            print(f"{m:<16}{total[m]:>7}{hit[m]:>7}{100 * hit[m] / total[m]:>8.1f}%")
        elif m == "platform/win32" and build == "native":
            print(f"{m:<16}   not built: the simulated machine stands in for it")
    t, h = sum(total.values()), sum(hit.values())
    print(f"{'total':<16}{t:>7}{h:>7}{100 * h / t:>8.1f}%")
    if build == "native":
        print("(src/ without platform/sim/ and platform/win32/; headers count once, in their module)")
        return
    print("(every src/ line compiled into Zelkor.dll; headers count once, in their module)")
    missed = [0] * (len(WINE_CANNOT) + 1)
    for (path, _), (covered, function) in lines.items():
        if not covered:
            missed[reason_of(path, function)] += 1
    print("Unrun lines by reason (the first reason that names them):")
    for (reason, entries), n in zip(WINE_CANNOT, missed):
        print(textwrap.fill(reason.format(cpus=os.cpu_count()), 110, initial_indent=f"{n:>6}  ",
                            subsequent_indent=" " * 8))
        print(textwrap.fill("; ".join(entries), 110, initial_indent=" " * 8, subsequent_indent=" " * 8))
    print(f"{missed[-1]:>6}  none of these: paths the Wine suite could reach but does not test")


if __name__ == "__main__":
    main(*sys.argv[1:4])
