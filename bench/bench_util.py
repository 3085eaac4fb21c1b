"""What the benchmark scripts share: a process's CPU time from /proc, and
writing their result."""

import json
import os

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User plus system CPU time of a running process, in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        stat = f.read()
    # The command name may hold blanks and parentheses: fields count from the last ")".
    fields = stat[stat.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def write_result(result, out):
    """The result as indented JSON, to the file `out` or standard output."""
    text = json.dumps(result, indent=2)
    if out:
        with open(out, "w") as f:
            f.write(text + "\n")
    else:
        print(text)
