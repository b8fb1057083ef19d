#!/usr/bin/python3
"""Checks a pellora-batch JSON Lines report, line by line.

Usage: check_report.py REPORT [PROGRAM_OUTPUT]

Every line must be a whole JSON object with the report's keys; every input
must name an existing file once its path is turned back into bytes
(os.fsencode undoes the surrogate escapes of names that are not UTF-8);
written and skipped outputs must exist with the size in bytes reported. With
PROGRAM_OUTPUT, the counts must equal the program's summary line. Prints the
counts ("written=W skipped=S failed=F") and exits 0, or prints the faults and
exits 1.
"""
import json
import os
import re
import sys

KEYS = {"input", "output", "status", "reason", "width", "height", "bytes", "ms"}


def main():
    faults = []
    counts = {"written": 0, "skipped": 0, "failed": 0}
    with open(sys.argv[1], "rb") as report:
        data = report.read()
    if data and not data.endswith(b"\n"):
        faults.append("the last line is not whole")
    for number, raw in enumerate(data.splitlines(), 1):
        try:
            record = json.loads(raw.decode("utf-8"))
        except ValueError as error:
            faults.append(f"line {number}: not JSON: {error}")
            continue
        if set(record) != KEYS:
            faults.append(f"line {number}: keys {sorted(record)}")
            continue
        status = record["status"]
        if status not in counts:
            faults.append(f"line {number}: status {status!r}")
            continue
        counts[status] += 1
        if not os.path.lexists(os.fsencode(record["input"])):
            faults.append(f"line {number}: no input file {record['input']!r}")
        if not isinstance(record["ms"], int) or record["ms"] < 0:
            faults.append(f"line {number}: ms {record['ms']!r}")
        if status == "failed":
            if record["bytes"] is not None or record["width"] is not None:
                faults.append(f"line {number}: a failed record has an output size")
            continue
        if record["reason"] is not None:
            faults.append(f"line {number}: a {status} record has a reason")
        output = os.fsencode(record["output"])
        if not os.path.exists(output):
            faults.append(f"line {number}: no output file {record['output']!r}")
        elif record["bytes"] != os.stat(output).st_size:
            faults.append(f"line {number}: bytes {record['bytes']} but the file has {os.stat(output).st_size}")
    if len(sys.argv) > 2:
        with open(sys.argv[2], "rb") as output:
            summaries = re.findall(rb"(\d+) written, (\d+) skipped, (\d+) failed", output.read())
        if not summaries:
            faults.append("no summary line in the program's output")
        elif tuple(int(n) for n in summaries[-1]) != (counts["written"], counts["skipped"], counts["failed"]):
            faults.append(f"summary {summaries[-1]} but the report counts {counts}")
    if faults:
        print("\n".join(faults))
        return 1
    print(f"written={counts['written']} skipped={counts['skipped']} failed={counts['failed']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
