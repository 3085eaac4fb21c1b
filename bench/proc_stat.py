"""What the benchmark scripts read of a running process from /proc."""

import os

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User plus system CPU time of a running process, in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        stat = f.read()
    # The command name may hold blanks and parentheses: fields count from the last ")".
    fields = stat[stat.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / TICKS
