#!/usr/bin/env python3
"""Reads the golden calendar files back as other calendar programs do.

python3-icalendar checks the structure: every TZID an event names has its
VTIMEZONE, no all-day event carries an alarm, and every UID is the day's
own, so that a newer export replaces an older one's events. khal then
places the events on its own clock, in the zone the file names, which shows
that the VTIMEZONE says what the duty times mean.
"""
import os
import re
import subprocess
import sys
import tempfile
from datetime import date

from icalendar import Calendar

UID = re.compile(r"^kadrel-[0-9a-f]{32}-(\d{8})-(day|extra\d+)$")

# khal's lines "start-end title" that each file must give, in its own zone.
KHAL = {
    "night-shift-2025-12.ics": ("Asia/Shanghai", 32, [
        "2025-12-31 20:00-2026-01-01 08:00 夜班 ⏰",   # across the month's and the year's end
        "2025-12-10 10:00-2025-12-10 15:00 白班 ::",   # an exception's own times
        "2025-12-03 08:00-2025-12-03 16:00 白班 ::",   # no reminder
        "2025-12-03 20:00-2025-12-04 08:00 夜班 ⏰",   # the second duty of the day
        "2025-12-02-2025-12-02 休息 ::",                # rest stays all day
    ]),
    "day-1440-2026-03.ics": ("Europe/Berlin", 22, [
        "2026-03-03 08:00-2026-03-04 08:00 白班 ⏰",
        "2026-03-28 08:00-2026-03-29 09:00 白班 ⏰",   # 24 hours over the change to summer time
        "2026-03-28-2026-03-28 夜班 ::",
    ]),
}


def check_structure(name, text, problems):
    cal = Calendar.from_ical(text)
    zones = {str(tz["TZID"]) for tz in cal.walk("VTIMEZONE")}
    uids = set()
    for event in cal.walk("VEVENT"):
        uid = str(event["UID"])
        start = event["DTSTART"]
        tzid = start.params.get("TZID")
        if tzid and tzid not in zones:
            problems.append(f"{name}: {uid} names {tzid}, which has no VTIMEZONE")
        all_day = type(start.dt) is date
        if all_day and event.walk("VALARM"):
            problems.append(f"{name}: the all-day event {uid} has an alarm")
        if not all_day and str(event["TRANSP"]) not in ("OPAQUE", "TRANSPARENT"):
            problems.append(f"{name}: {uid} has no TRANSP")
        m = UID.match(uid)
        if not m or m.group(1) != start.dt.strftime("%Y%m%d"):
            problems.append(f"{name}: {uid} is not the UID of its day")
        if uid in uids:
            problems.append(f"{name}: {uid} twice")
        uids.add(uid)
    if not zones and any("TZID" in e["DTSTART"].params for e in cal.walk("VEVENT")):
        problems.append(f"{name}: timed events without a VTIMEZONE")


def check_khal(name, path, zone, count, lines, problems):
    with tempfile.TemporaryDirectory() as home:
        os.mkdir(os.path.join(home, "cal"))
        config = os.path.join(home, "config")
        with open(config, "w") as f:
            f.write(f"[calendars]\n[[kadrel]]\npath = {home}/cal\n[locale]\n"
                    "timeformat = %H:%M\ndateformat = %Y-%m-%d\nlongdateformat = %Y-%m-%d\n"
                    "datetimeformat = %Y-%m-%d %H:%M\nlongdatetimeformat = %Y-%m-%d %H:%M\n"
                    f"default_timezone = {zone}\nlocal_timezone = {zone}\n")
        run = subprocess.run(["khal", "-c", config, "printics", path], capture_output=True, text=True,
                             env=dict(os.environ, HOME=home))
    if run.returncode != 0 or "warning" in run.stderr.lower() or "error" in run.stderr.lower():
        problems.append(f"{name}: khal: {run.returncode} {run.stderr.strip()}")
    if f"{count} events found" not in run.stdout:
        problems.append(f"{name}: khal did not find {count} events: {run.stdout.splitlines()[:1]}")
    for line in lines:
        if line not in run.stdout:
            problems.append(f"{name}: khal shows no '{line}'")


def main(folder):
    problems = []
    for name, (zone, count, lines) in sorted(KHAL.items()):
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            check_structure(name, f.read(), problems)
        check_khal(name, path, zone, count, lines, problems)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
