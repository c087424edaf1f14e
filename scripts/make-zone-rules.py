#!/usr/bin/env python3
"""Writes the table of today's daylight-saving rules that the program
compares the computer's time-zone record with: for every Windows time zone,
the rule in force now as Windows writes it (biases and the two change
rules), the year it took effect, and, for a zone whose rule changes within
the years the zone data already knows, the rule that follows and its year.

It reads what the build machine has installed: the compiled zone files of
Debian's tzdata (/usr/share/zoneinfo: each file's footer is the POSIX rule
in force after its last listed change, and its list of changes tells since
when that rule holds) and CLDR's table of which zone data stands for which
Windows zone (windowsZones.xml, Debian's unicode-cldr-core).

A Windows zone is left out, so that the program never guesses, when the
zones CLDR lists for it follow different rules today (the zone was split
after CLDR's table was made), or when its rule cannot be written as a
Windows rule (a change on a day counted in days of the year, or at an hour
outside the day, as Greenland's and Israel's are).

  make-zone-rules.py --zoneinfo DIR --cldr FILE --output FILE.cpp [--report]
"""

import argparse
import calendar
import datetime
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

# The first year whose rules the table can describe, and the last year the
# compiled zone files list changes for (they stop in 2037; the footer rule
# holds after that).
FIRST_YEAR = 1970
LAST_LISTED_YEAR = 2037

# Names older Windows gave zones that CLDR lists under a newer name today
# (Windows 95 to 2003 as shipped): the same zone, the same key in the
# registry's list of those systems.
LEGACY_NAMES = {
    "Mexico Standard Time": "Central Standard Time (Mexico)",
    "Mexico Standard Time 2": "Mountain Standard Time (Mexico)",
    "Jerusalem Standard Time": "Israel Standard Time",
}

END_OF_DAY = 24 * 3600  # a change at 24:00, which Windows writes as 23:59:59.999


# ---------------------------------------------------------------------------
# Compiled zone files (TZif, version 2 or later)


def read_tzif(path):
    """(transitions, footer): transitions as (UTC seconds, UTC offset after,
    is daylight) for every change of the offset, in order; footer the POSIX
    rule text after the last one."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"TZif" or data[4:5] not in (b"2", b"3", b"4"):
        raise ValueError("%s: not a TZif file of version 2 or later" % path)

    def header(offset):
        return struct.unpack(">6l", data[offset + 20:offset + 44])

    isutc, isstd, leap, timecnt, typecnt, charcnt = header(0)
    offset = 44 + timecnt * 5 + typecnt * 6 + charcnt + leap * 8 + isstd + isutc
    isutc, isstd, leap, timecnt, typecnt, charcnt = header(offset)
    p = offset + 44
    times = struct.unpack(">%dq" % timecnt, data[p:p + 8 * timecnt])
    p += 8 * timecnt
    indices = data[p:p + timecnt]
    p += timecnt
    types = [struct.unpack(">lBB", data[p + 6 * i:p + 6 * i + 6]) for i in range(typecnt)]
    p += 6 * typecnt + charcnt + leap * 12 + isstd + isutc
    footer = data[p:].decode("ascii").strip("\n")

    transitions = []
    previous = types[0][0] if types else None
    for when, index in zip(times, indices):
        utoff, isdst, _ = types[index]
        if utoff != previous:
            transitions.append((when, utoff, bool(isdst)))
        previous = utoff
    return transitions, footer


# ---------------------------------------------------------------------------
# POSIX rules


class Change:
    """A change rule as Windows writes it: the week-th weekday (0 = Sunday)
    of the month, 5 meaning the last, at a local time in seconds."""

    def __init__(self, month, week, weekday, seconds):
        self.month, self.week, self.weekday, self.seconds = month, week, weekday, seconds

    def key(self):
        return (self.month, self.week, self.weekday, self.seconds)

    def day(self, year):
        if self.week == 5:
            last = calendar.monthrange(year, self.month)[1]
            d = datetime.date(year, self.month, last)
            while (d.weekday() + 1) % 7 != self.weekday:
                d -= datetime.timedelta(days=1)
            return d
        d = datetime.date(year, self.month, 1)
        while (d.weekday() + 1) % 7 != self.weekday:
            d += datetime.timedelta(days=1)
        return d + datetime.timedelta(days=7 * (self.week - 1))


class Rule:
    """A zone's rule in Windows terms: bias (minutes, UTC = local + bias),
    the daylight bias (minutes added in daylight time) and the changes to
    daylight and back to standard time; no changes for a zone without
    daylight time."""

    def __init__(self, bias, daylight_bias=0, to_daylight=None, to_standard=None):
        self.bias, self.daylight_bias = bias, daylight_bias
        self.to_daylight, self.to_standard = to_daylight, to_standard

    def has_daylight(self):
        return self.to_daylight is not None

    def key(self):
        if not self.has_daylight():
            return (self.bias,)
        return (self.bias, self.daylight_bias, self.to_daylight.key(), self.to_standard.key())

    def transitions(self, year):
        """This rule's changes in a year: (UTC seconds, UTC offset after)."""
        if not self.has_daylight():
            return []
        out = []
        for change, before, after in ((self.to_daylight, self.bias, self.bias + self.daylight_bias),
                                      (self.to_standard, self.bias + self.daylight_bias, self.bias)):
            local = datetime.datetime.combine(change.day(year), datetime.time()) + \
                datetime.timedelta(seconds=change.seconds)
            utc = calendar.timegm(local.timetuple()) + before * 60
            out.append((utc, -after * 60))
        return sorted(out)


NAME = r"(?:[A-Za-z]{3,}|<[^>]*>)"
OFFSET = r"[+-]?\d{1,3}(?::\d{1,2}){0,2}"


def seconds_of(text):
    sign = -1 if text.startswith("-") else 1
    parts = [int(p) for p in text.lstrip("+-").split(":")] + [0, 0]
    return sign * (parts[0] * 3600 + parts[1] * 60 + parts[2])


def parse_change(text):
    """A POSIX change 'Mm.w.d[/time]' in Windows terms; None for the forms
    counted in days of the year and for hours outside the day."""
    match = re.fullmatch(r"M(\d{1,2})\.(\d)\.(\d)(?:/(" + OFFSET + "))?", text)
    if not match:
        return None
    seconds = seconds_of(match.group(4)) if match.group(4) else 2 * 3600
    if seconds < 0 or seconds > END_OF_DAY:
        return None
    return Change(int(match.group(1)), int(match.group(2)), int(match.group(3)), seconds)


def parse_posix(text):
    """The Windows rule of a POSIX TZ text, or None when Windows cannot
    write it."""
    match = re.fullmatch("(" + NAME + ")(" + OFFSET + ")(?:(" + NAME + ")(" + OFFSET + ")?(?:,([^,]+),([^,]+))?)?",
                         text)
    if not match:
        return None
    standard = seconds_of(match.group(2)) // 60
    if not match.group(3):
        return Rule(standard)
    daylight = seconds_of(match.group(4)) // 60 if match.group(4) else standard - 60
    if not match.group(5):
        return None  # daylight time without its dates: the old default rules
    to_daylight, to_standard = parse_change(match.group(5)), parse_change(match.group(6))
    if to_daylight is None or to_standard is None:
        return None
    if daylight > standard:
        # "Daylight" behind standard time (Ireland's winter time): the
        # same clock as standard time in winter, which Windows writes.
        standard, daylight = daylight, standard
        to_daylight, to_standard = to_standard, to_daylight
    return Rule(standard, daylight - standard, to_daylight, to_standard)


# ---------------------------------------------------------------------------
# Since when a rule holds


def year_of(seconds):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).year


def since_year(transitions, rule):
    """The year of the zone's first change that the rule gives, counting
    back from the last listed one while every change is the rule's; 0 when
    the zone never changed; None when the listed changes end with one the
    rule does not give (the rule is not yet in force)."""
    expected = set()
    for year in range(FIRST_YEAR - 1, LAST_LISTED_YEAR + 1):
        expected.update(rule.transitions(year))
    listed = [(t, off) for t, off, _ in transitions if year_of(t) <= LAST_LISTED_YEAR]
    if not listed:
        return 0
    if not rule.has_daylight():
        last_time, last_offset = listed[-1]
        return year_of(last_time) if last_offset == -rule.bias * 60 else None
    # Back from the last listed change, the listed changes and the rule's
    # must be the same, a year without changes (Haiti's 2016) included.
    expected = sorted(change for change in expected if year_of(change[0]) <= LAST_LISTED_YEAR)
    first = None
    while listed and expected and listed[-1] == expected[-1]:
        first = listed.pop()
        expected.pop()
    if first is None:
        return None
    return year_of(first[0])


def rule_of_years(transitions, years):
    """The Windows rule that gives exactly the listed changes of these
    years, or None: for the years before a change the footer does not yet
    describe."""
    rules = None
    for year in years:
        changes = [(t, off, dst) for t, off, dst in transitions if year_of(t) == year]
        if not changes:
            return None
        candidates = set()
        standard = [off for _, off, dst in changes if not dst]
        daylight = [off for _, off, dst in changes if dst]
        if len(changes) != 2 or len(standard) != 1 or len(daylight) != 1:
            return None
        bias, daylight_bias = -standard[0] // 60, (standard[0] - daylight[0]) // 60
        shapes = []
        for when, off, dst in changes:
            before = bias if dst else bias + daylight_bias
            local = datetime.datetime.fromtimestamp(when, datetime.timezone.utc) - \
                datetime.timedelta(minutes=before)
            seconds = local.hour * 3600 + local.minute * 60 + local.second
            weekday = (local.weekday() + 1) % 7
            weeks = {(local.day - 1) // 7 + 1}
            if local.day + 7 > calendar.monthrange(local.year, local.month)[1]:
                weeks.add(5)
            shapes.append((dst, local.month, weekday, seconds, weeks))
        for to_daylight_weeks in sorted(next(s for s in shapes if s[0])[4]):
            for to_standard_weeks in sorted(next(s for s in shapes if not s[0])[4]):
                d = next(s for s in shapes if s[0])
                s = next(s for s in shapes if not s[0])
                candidates.add((bias, daylight_bias, (d[1], to_daylight_weeks, d[2], d[3]),
                                (s[1], to_standard_weeks, s[2], s[3])))
        rules = candidates if rules is None else rules & candidates
    if not rules:
        return None
    bias, daylight_bias, d, s = max(rules, key=lambda r: (r[2][1], r[3][1]))
    return Rule(bias, daylight_bias, Change(*d), Change(*s))


# ---------------------------------------------------------------------------
# CLDR's Windows zones


def windows_zones(path):
    """[(Windows name, display name, main zone, [every zone listed])]."""
    parser = ET.XMLParser(target=ET.TreeBuilder(insert_comments=True))
    root = ET.parse(path, parser=parser).getroot()
    zones = {}
    order = []
    display = ""
    for element in root.iter():
        if element.tag is ET.Comment:
            text = (element.text or "").strip()
            if text.startswith("("):
                display = text
            continue
        if element.tag != "mapZone":
            continue
        name, territory = element.get("other"), element.get("territory")
        if name not in zones:
            zones[name] = {"display": display, "main": None, "all": []}
            order.append(name)
        if territory == "001":
            zones[name]["main"] = element.get("type")
        elif territory != "ZZ":
            zones[name]["all"].extend(element.get("type").split())
    return [(name, zones[name]["display"], zones[name]["main"], zones[name]["all"]) for name in order]


def cldr_version(windows_zones_path):
    dtd = os.path.join(os.path.dirname(os.path.dirname(windows_zones_path)), "dtd", "ldmlSupplemental.dtd")
    try:
        with open(dtd, encoding="utf-8") as f:
            match = re.search(r'cldrVersion\s+CDATA\s+#FIXED\s+"([^"]+)"', f.read())
        return match.group(1) if match else "unknown"
    except OSError:
        return "unknown"


def tzdata_version(zoneinfo):
    for name in ("tzdata.zi", "+VERSION"):
        try:
            with open(os.path.join(zoneinfo, name), encoding="ascii") as f:
                match = re.search(r"(\d{4}[a-z])", f.readline())
            if match:
                return match.group(1)
        except OSError:
            pass
    raise SystemExit("make-zone-rules: no tzdata version in %s" % zoneinfo)


# ---------------------------------------------------------------------------


def periods_of(zoneinfo, main, members, version_year):
    """[(from year, rule)] for a Windows zone, or (None, reason)."""
    try:
        transitions, footer = read_tzif(os.path.join(zoneinfo, main))
    except (OSError, ValueError) as error:
        return None, "no zone file (%s)" % error
    rule = parse_posix(footer)
    if rule is None:
        return None, "rule %s cannot be written as a Windows rule" % footer
    # CLDR's lists lag behind zones that moved to another Windows zone
    # (Ojinaga to Central time in 2022): the main zone's rule must be the
    # rule of most of the zones listed, or the Windows zone is not known.
    agree = disagree = 0
    for member in sorted(set(members)):
        try:
            _, other = read_tzif(os.path.join(zoneinfo, member))
        except (OSError, ValueError):
            continue
        other_rule = parse_posix(other)
        if other_rule is not None and other_rule.key() == rule.key():
            agree += 1
        else:
            disagree += 1
    if disagree and agree <= disagree:
        return None, "%d of the %d zones listed follow another rule than %s's %s" % (
            disagree, agree + disagree, main, footer)
    since = since_year(transitions, rule)
    if since is None:
        return None, "the listed changes do not end in the rule %s" % footer
    if since <= version_year:
        return [(since, rule)], None
    # The footer's rule starts in a coming year: the rule before it holds
    # until then, written from this year's listed changes.
    before = rule_of_years(transitions, range(version_year, since))
    if before is None:
        return None, "the rule before %d cannot be written as a Windows rule" % since
    earlier = since_year([t for t in transitions if year_of(t[0]) < since], before) or version_year
    return [(min(earlier, version_year), before), (since, rule)], None


def cpp_text(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def change_cpp(change):
    if change is None:
        return "{0, 0, 0, 0}"
    return "{%d, %d, %d, %d}" % (change.month, change.week, change.weekday, change.seconds // 60)


def write_table(path, version, cldr, rows, aliases):
    lines = [
        "// Today's daylight-saving rules of the Windows time zones, written by",
        "// scripts/make-zone-rules.py from tzdata %s and CLDR %s's windowsZones.xml." % (version, cldr),
        "// Generated at build time: edit the script, not this file.",
        '#include "timesync/ZoneRules.h"',
        "",
        "namespace tavrel {",
        "",
        "const char kZoneDataVersion[] = %s;" % cpp_text("tzdata %s, CLDR %s" % (version, cldr)),
        "",
        "const ZoneRuleRow kZoneRuleRows[] = {",
    ]
    for name, display, since, rule in rows:
        lines.append("    {%s, %s, %d, %d, %d, %s, %s}," % (
            cpp_text(name), cpp_text(display), since, rule.bias, rule.daylight_bias,
            change_cpp(rule.to_daylight), change_cpp(rule.to_standard)))
    lines += ["};", "const int kZoneRuleRowCount = sizeof kZoneRuleRows / sizeof kZoneRuleRows[0];", "",
              "const ZoneAlias kZoneAliases[] = {"]
    for old, new in sorted(aliases.items()):
        lines.append("    {%s, %s}," % (cpp_text(old), cpp_text(new)))
    lines += ["};", "const int kZoneAliasCount = sizeof kZoneAliases / sizeof kZoneAliases[0];", "",
              "}  // namespace tavrel", ""]
    text = "\n".join(lines)
    # Written only when it changed, so that a build without new data
    # compiles nothing again.
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--zoneinfo", default="/usr/share/zoneinfo")
    parser.add_argument("--cldr", default="/usr/share/unicode/cldr/common/supplemental/windowsZones.xml")
    parser.add_argument("--output", required=True)
    parser.add_argument("--report", action="store_true", help="say which zones were left out and why")
    args = parser.parse_args()
    if not os.path.exists(args.cldr):
        raise SystemExit("make-zone-rules: %s is missing (Debian package unicode-cldr-core)" % args.cldr)

    version = tzdata_version(args.zoneinfo)
    version_year = int(version[:4])
    rows = []
    known = set()
    for name, display, main, members in windows_zones(args.cldr):
        periods, reason = periods_of(args.zoneinfo, main, members, version_year) if main else (None, "no main zone")
        if periods is None:
            if args.report:
                print("left out: %s: %s" % (name, reason), file=sys.stderr)
            continue
        known.add(name)
        for since, rule in periods:
            rows.append((name, display, since, rule))
            if args.report:
                print("%-36s %-8s since %4d  %s" % (name, main.split("/")[-1][:8], since, rule.key()),
                      file=sys.stderr)
    aliases = {old: new for old, new in LEGACY_NAMES.items() if new in known}
    write_table(args.output, version, cldr_version(args.cldr), rows, aliases)


if __name__ == "__main__":
    main()
