#!/usr/bin/env python3
"""Fails when a production program links a target declared under sim/, or
when any object of what it links was compiled from or with a file under sim/;
and when a simulator includes the products' own code (their encodings, their
protocol), rather than only process plumbing such as the stop signals.

The simulators stand for the outside world in tests; a product that shares
their code, or a simulator that shares the products', would be tested
against itself."""
import glob
import os
import re
import sys

source_dir = os.path.realpath(os.environ["QUILLON_SOURCE_DIR"])
binary_dir = os.path.dirname(os.path.realpath(os.environ["QUILLON_BIN_DIR"]))
sim_dir = os.path.join(source_dir, "sim") + os.sep


def under_sim(path):
    return os.path.realpath(path).startswith(sim_dir)


def object_dependencies(target, target_binary_dir):
    """Every file the compiler read for the target's objects, from its depfiles."""
    pattern = os.path.join(target_binary_dir, "CMakeFiles", target + ".dir", "**", "*.o.d")
    for depfile in glob.glob(pattern, recursive=True):
        with open(depfile, encoding="utf-8", errors="replace") as f:
            text = f.read().replace("\\\n", " ")
        for line in text.splitlines():
            _, _, deps = line.partition(":")
            for dep in deps.split():
                yield depfile, dep


# What a simulator may take from the products: nothing that encodes.
SIM_MAY_INCLUDE = ("platform/signals/",)
PRODUCT_FOLDERS = ("common/", "platform/", "smsservice/", "gateway/", "monitor/")


def simulator_includes():
    for path in glob.glob(os.path.join(sim_dir, "**", "*.[ch]*"), recursive=True):
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                if not match:
                    continue
                included = match.group(1)
                if included.startswith(PRODUCT_FOLDERS) and not included.startswith(SIM_MAY_INCLUDE):
                    yield f"{os.path.relpath(path, source_dir)}:{number} includes the products' {included}"


def main():
    listing = os.path.join(binary_dir, "production_targets.tsv")
    rows = [line.split("\t") for line in open(listing, encoding="utf-8").read().splitlines() if line]
    programs = sorted({row[0] for row in rows})
    faults = []
    objects_seen = 0
    for program, target, target_source, target_binary in rows:
        if under_sim(target_source + os.sep):
            faults.append(f"{program} links {target}, declared in {target_source}")
        for depfile, dep in object_dependencies(target, target_binary):
            objects_seen += 1
            if under_sim(dep if os.path.isabs(dep) else os.path.join(target_binary, dep)):
                faults.append(f"{program}: {target} was compiled with {dep} ({depfile})")
    faults.extend(simulator_includes())
    for fault in sorted(set(faults)):
        print(fault)
    if objects_seen == 0:
        print("no dependency files found: build the tree before running this check")
        return 1
    checked = ", ".join(programs)
    print(f"{len(rows)} targets of {checked}: {'no' if not faults else len(set(faults))} reach into sim/")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
