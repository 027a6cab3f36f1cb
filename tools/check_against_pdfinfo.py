#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Compares what pagewick-info reads from PDF files with what poppler's pdfinfo reads.

  check_against_pdfinfo.py --info PAGEWICK_INFO --fixtures DIR [--fixtures DIR ...]
  check_against_pdfinfo.py --info PAGEWICK_INFO --corpus CORPUS_DIR [--quiet]

--fixtures runs pdfinfo itself. A folder with README.md takes the file list, the passwords and
the encryption method from the table there (tests/data/real); a folder with params.tsv takes them
from that table (tests/data/crypt). Every encrypted file is checked once with its user password
(none when it is empty) and once with its owner password.

--corpus takes pdfinfo's answers from CORPUS_DIR/manifest.tsv, so pdfinfo is not run; the
reader runs on every file with a time limit, and a summary follows.

Compared: Title, Subject, Author, Keywords, Creator, Producer, CreationDate (and ModDate where
pdfinfo ran) by date and time as written, the zone ignored; the page count; encrypted or not;
for encrypted files the print/copy/change/addNotes permissions (unless opened with the owner
password, for which pdfinfo reports every permission) and whether the strings could be read:
RC4 and AES files alike must open with the password that opens them for pdfinfo.
Corpus mode also counts the six text fields in exact Unicode, field by field, and gives each
difference a cause (raw Shift-JIS, EUC-JP, JIS or UTF-8 bytes that pdfinfo reads as
PDFDocEncoding, a field only XMP has, a reader error, ...).

Every file pdfinfo reads is compared, whatever its cross-reference (the
manifest's xref_kind: classic, stream, other, broken), and the summary gives, by kind, the files
that agree on everything and the field agreement: of Title, Subject, Author, Keywords, Creator,
Producer, page count and creation date, the share that agree (a reader error counts all eight
as disagreeing).

Exit status: 0 all compared files agree, 1 a mismatch on a compared file, 2 a crash or time-out
of the reader (or bad arguments), 77 pdfinfo is not installed (fixtures mode).
"""

import argparse
import collections
import csv
import datetime
import json
import os
import re
import shutil
import subprocess
import sys

TEXT_FIELDS = ["Title", "Subject", "Author", "Keywords", "Creator", "Producer"]
FIELD_SET = set(TEXT_FIELDS) | {"Pages", "CreationDate"}
PERMISSIONS = [("print", "CanPrint"), ("copy", "CanCopy"), ("change", "CanModify"),
               ("addNotes", "CanAnnotate")]
TIMEOUT = 10
ISO_DATE = re.compile(r"^(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)")
STARTED = datetime.datetime.now()


class Case:
    """One run of both readers on one file with one password."""

    def __init__(self, path, name, password="", role="", method="none", pdfinfo_password=None,
                 empty_user=True):
        self.path = path
        self.name = name
        self.password = password
        self.role = role  # "", "user", "owner" or "user+owner"
        self.method = method  # how strings are encrypted: none, RC4, AES or unknown
        self.pdfinfo_password = pdfinfo_password
        self.empty_user = empty_user  # the file opens with the empty user password


def strings_method(encryption):
    """The string method of an encryption description such as "RC4-40", "AES-128 R=4 V=4" or
    "AES-256 R=6 V=5 (streams=none strings=none files=AESv3)"."""
    m = re.search(r"strings=(\S+?)[ )]", encryption)
    alg = m.group(1) if m else encryption.split(" ")[0]
    alg = alg.upper()
    if alg in ("NONE", "IDENTITY"):
        return "none"
    for method in ("RC4", "AES"):
        if alg.startswith(method):
            return method
    return "unknown"


def xref_is_classic(path):  # kept for ad-hoc use: which files have a classic table
    """True when the offset after the last startxref holds the keyword xref."""
    with open(path, "rb") as f:
        data = f.read()
    found = list(re.finditer(rb"startxref\s+(\d+)", data))
    if not found:
        return False
    offset = int(found[-1].group(1))
    return data[offset:offset + 4] == b"xref"


# --- the two readers --------------------------------------------------------------------------


def run_reader(info, path, password):
    """("ok", record), ("error", message), ("crash", detail) or ("timeout", None)."""
    command = [info] + (["--password", password] if password else []) + ["--", path]
    try:
        done = subprocess.run(command, capture_output=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return "timeout", None
    out = done.stdout.decode("utf-8", "replace").strip()
    if done.returncode not in (0, 1):
        err = done.stderr.decode("utf-8", "replace").strip()
        return "crash", "exit %d %s" % (done.returncode, err[-200:])
    try:
        record = json.loads(out)
    except ValueError:
        return "crash", "not one JSON line: %r" % out[:200]
    if "error" in record:
        return "error", record["error"]
    return "ok", record


PDFINFO_LABELS = TEXT_FIELDS + [
    "CreationDate", "ModDate", "Custom Metadata", "Metadata Stream", "Tagged", "UserProperties",
    "Suspects", "Form", "JavaScript", "Pages", "Encrypted", "Page size", "Page rot", "File size",
    "Optimized", "PDF version"]


def parse_pdfinfo(text):
    """pdfinfo's "Key:" lines to a dict. pdfinfo pads every label to 17 columns, so a value
    starts at column 17 with its own blanks kept; a line without a label continues the value
    before it, as for a title with a line break."""
    values, key = {}, None
    if text.endswith("\n"):
        text = text[:-1]
    for line in text.split("\n"):
        label = line.split(":", 1)[0]
        if ":" in line and label in PDFINFO_LABELS and (label != key or label not in values):
            key = label
            values[key] = line[17:]
        elif key is not None:
            values[key] += "\n" + line
    return values


def parse_permissions(encrypted):
    """{"print": True, ...} from "yes (print:no copy:yes ...)", or None."""
    found = dict(re.findall(r"(\w+):(yes|no)", encrypted))
    if not all(p in found for p, _ in PERMISSIONS):
        return None
    return {p: found[p] == "yes" for p, _ in PERMISSIONS}


def pdfinfo_live(case):
    """What pdfinfo reads, or (None, error text)."""
    command = ["pdfinfo", "-enc", "UTF-8", "-isodates"]
    if case.pdfinfo_password is not None:
        command += [case.pdfinfo_password[0], case.pdfinfo_password[1]]
    try:
        done = subprocess.run(command + [case.path], capture_output=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return None, "pdfinfo timed out"
    if done.returncode != 0:
        return None, done.stderr.decode("utf-8", "replace").strip().split("\n")[-1]
    values = parse_pdfinfo(done.stdout.decode("utf-8", "surrogateescape"))
    expected = {
        "text": {f: values.get(f, "") for f in TEXT_FIELDS},
        "CreationDate": values.get("CreationDate"),
        "ModDate": values.get("ModDate"),
        "Pages": int(values.get("Pages", "0")),
        "Encrypted": values.get("Encrypted", "no").startswith("yes"),
        "perms": parse_permissions(values.get("Encrypted", "")),
    }
    return expected, None


def unescape_cell(cell):
    """Undoes the manifest's escaping: \\\\, \\t, \\n, \\r and \\xNN."""
    out, i = bytearray(), 0
    simple = {"\\": b"\\", "t": b"\t", "n": b"\n", "r": b"\r"}
    while i < len(cell):
        c = cell[i]
        if c == "\\" and i + 1 < len(cell):
            e = cell[i + 1]
            if e in simple:
                out += simple[e]
                i += 2
                continue
            if e == "x" and re.match(r"[0-9a-fA-F]{2}", cell[i + 2:i + 4]):
                out.append(int(cell[i + 2:i + 4], 16))
                i += 4
                continue
        out += c.encode("utf-8")
        i += 1
    return out.decode("utf-8", "surrogateescape")


def pdfinfo_from_manifest(row):
    """What pdfinfo read according to the manifest, or (None, pdfinfo's error)."""
    if row["pdfinfo_status"] != "ok":
        return None, "pdfinfo %s: %s" % (row["pdfinfo_status"], unescape_cell(row["pdfinfo_error"]))
    keys = set(filter(None, row["info_keys"].split(",")))
    expected = {
        "text": {f: unescape_cell(row[f]) if f in keys else "" for f in TEXT_FIELDS},
        "CreationDate": unescape_cell(row["CreationDate"]) if "CreationDate" in keys else None,
        "Pages": int(row["Pages"] or "0"),
        "Encrypted": row["pdfinfo_encrypted"].startswith("yes"),
        "perms": parse_permissions(row["pdfinfo_encrypted"]),
    }
    return expected, None


# --- comparison -------------------------------------------------------------------------------


def text_kind(ours, theirs):
    if not ours:
        return "missing in reader"
    if not theirs:
        return "only in reader"
    if ours.strip() == theirs.strip():
        return "leading/trailing blanks or line breaks"
    if " ".join(ours.split()) == " ".join(theirs.split()):
        return "inner whitespace"
    try:
        theirs.encode("cp932")
    except UnicodeError:
        return "characters outside code page 932"
    if theirs.startswith(ours):
        return "cut short"
    return "different"


# PDFDocEncoding where it differs from Latin-1, as pdfinfo decodes a string without a mark.
PDFDOC = dict(zip(range(0x18, 0x20), "\u02d8\u02c7\u02c6\u02d9\u02dd\u02db\u02da\u02dc"))
PDFDOC.update(zip(range(0x80, 0xA1),
                  "\u2022\u2020\u2021\u2026\u2014\u2013\u0192\u2044\u2039\u203a\u2212"
                  "\u2030\u201e\u201c\u201d\u2018\u2019\u201a\u2122\ufb01\ufb02\u0141"
                  "\u0152\u0160\u0178\u017d\u0131\u0142\u0153\u0161\u017e\ufffd\u20ac"))


def as_pdfdoc(data):
    return "".join(PDFDOC.get(b, chr(b)) for b in data)


def same_but_unknown(a, b):
    """Equal, characters one side could not decode (U+FFFD, or nothing) aside."""
    return a.replace("\ufffd", "") == b.replace("\ufffd", "")


def text_cause(ours, theirs, field, record, keys):
    """Why the reader's Unicode text differs from pdfinfo's."""
    if record["PasswordResult"] < 0:
        return "strings withheld (no password the reader was given opens the file)"
    if not theirs and ours and field not in keys:
        # pdfinfo lists no Info entry of an encrypted file whose strings it cannot decrypt.
        if record.get("Method") and not keys:
            return "only in reader: an encrypted file whose strings pdfinfo does not decrypt"
        return "only in reader: from XMP (no Info entry)"
    for codec, name in (("cp932", "Shift-JIS"), ("euc_jp", "EUC-JP"),
                        ("iso2022_jp", "JIS"), ("utf-8", "UTF-8 without mark")):
        try:
            raw = ours.encode(codec)
        except UnicodeError:
            continue
        if raw != ours.encode("latin-1", "replace") and same_but_unknown(as_pdfdoc(raw), theirs):
            return "raw %s read by pdfinfo as PDFDocEncoding (reader right)" % name
    kind = text_kind(ours, theirs)
    return kind


PDF_DATE = re.compile(r"^D:(\d{4})(\d\d)?(\d\d)?(\d\d)?(\d\d)?(\d\d)?")


def date_mismatch(field, ours, theirs):
    """None when the dates agree, else the kind of the difference."""
    if theirs == "":
        theirs = None  # pdfinfo prints an empty date string as an empty value
    m = ISO_DATE.match(theirs) if theirs is not None else None
    theirs_value = m.group(1) if m else theirs
    # A date pdfinfo cannot convert (year 0000) it prints as the file writes it.
    p = PDF_DATE.match(theirs) if theirs is not None and not m else None
    if p:
        y, mo, d, h, mi, s = (p.group(k) for k in range(1, 7))
        theirs_value = "%s-%s-%sT%s:%s:%s" % (y, mo or "01", d or "01", h or "00", mi or "00",
                                              s or "00")
    if ours == theirs_value:
        return None
    if ours is None:
        return "%s missing in reader" % field
    if theirs is None:
        return "%s only in reader" % field
    try:
        when = datetime.datetime.strptime(ours, "%Y-%m-%dT%H:%M:%S")
    except ValueError:  # year 0000
        when = None
    if when and abs((when - STARTED).total_seconds()) < 2 * 86400:
        return "%s: reader took the current time (date invalid to it)" % field
    return "%s differs" % field


def expected_password_result(case):
    # The empty user password is tried before the typed one.
    if case.empty_user:
        return {0}
    return {"owner": {1}, "user": {2}}.get(case.role, {1, 2})


def compare(case, ours, expected):
    """A list of (kind, field, our value, their value)."""
    found = []

    def add(kind, field, a, b):
        found.append((kind, field, a, b))

    if ours["PageCount"] != expected["Pages"]:
        kind = "Pages: reader 0" if ours["PageCount"] == 0 else "Pages differ"
        add(kind, "Pages", ours["PageCount"], expected["Pages"])
    if ours["Encrypted"] != expected["Encrypted"]:
        add("Encrypted: reader %s, pdfinfo %s" % (yes_no(ours["Encrypted"]),
                                                   yes_no(expected["Encrypted"])),
            "Encrypted", ours["Encrypted"], expected["Encrypted"])
    if ours["Encrypted"] and expected["Encrypted"] and expected["perms"] is not None \
            and "owner" not in case.role:
        for name, field in PERMISSIONS:
            if ours[field] != expected["perms"][name]:
                add("permission %s differs" % name, field, ours[field], expected["perms"][name])

    readable = ours["PasswordResult"] >= 0
    if ours["Encrypted"] and case.method in ("RC4", "AES", "none"):
        want = expected_password_result(case)
        if ours["PasswordResult"] not in want:
            kind = ("access: strings withheld (PasswordResult -1)" if not readable else
                    "access: PasswordResult differs")
            add(kind, "PasswordResult", ours["PasswordResult"], sorted(want))
            if not readable:
                return found
    elif not readable:
        return found

    for field in TEXT_FIELDS:
        a, b = ours[field], expected["text"][field]
        if a != b:
            add("%s %s" % (field, text_kind(a, b)), field, a, b)
    for field in ("CreationDate", "ModDate"):
        if field not in expected:
            continue
        kind = date_mismatch(field, ours[field], expected[field])
        if kind:
            add(kind, field, ours[field], expected[field])
    return found


def yes_no(flag):
    return "yes" if flag else "no"


def show(value):
    return json.dumps(value, ensure_ascii=False)


def print_mismatches(case, found):
    for kind, field, a, b in found:
        print("MISMATCH %s%s: %s: pagewick=%s pdfinfo=%s" % (
            case.name, " (password %s)" % show(case.password) if case.password else "", field,
            show(a), show(b)))


# --- fixtures mode ----------------------------------------------------------------------------


def verbatim(cell):
    """A table cell's text; in backquotes, exactly as it stands there, blanks included."""
    return cell[1:-1] if len(cell) >= 2 and cell[0] == cell[-1] == "`" else cell


def fixture_cases(folder):
    """The cases of one fixture folder, from README.md or params.tsv."""
    rows = []  # (file, encryption method, user password, owner password)
    readme = os.path.join(folder, "README.md")
    params = os.path.join(folder, "params.tsv")
    if os.path.exists(readme):
        for line in open(readme, encoding="utf-8"):
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if len(cells) == 5 and re.match(r"^`[^`]+\.pdf`$", cells[0]):
                rows.append((cells[0].strip("`"), strings_method(cells[2]), verbatim(cells[3]),
                             verbatim(cells[4])))
    elif os.path.exists(params):
        for r in csv.DictReader(open(params, encoding="utf-8"), delimiter="\t",
                                quoting=csv.QUOTE_NONE):
            rows.append((r["file"], "RC4", r["user"], r["owner"]))
    else:
        raise SystemExit("%s: neither README.md nor params.tsv" % folder)
    cases = []
    for name, method, user, owner in rows:
        path = os.path.join(folder, name)
        label = os.path.join(os.path.basename(os.path.normpath(folder)), name)
        if method == "none" or not owner:
            cases.append(Case(path, label))
            continue
        if user:
            cases.append(Case(path, label, user, "user+owner" if user == owner else "user",
                              method, ("-upw", user), False))
        else:
            cases.append(Case(path, label, "", "", method))
        if owner != user:
            cases.append(Case(path, label, owner, "owner", method, ("-opw", owner), not user))
    return cases


def fixtures_mode(info, folders):
    if shutil.which("pdfinfo") is None:
        print("pdfinfo is not installed; nothing compared")
        return 77
    passed = failed = skipped = 0
    crashed = False
    for folder in folders:
        for case in fixture_cases(folder):
            if not os.path.exists(case.path):
                print("MISSING %s" % case.name)
                failed += 1
                continue
            status, ours = run_reader(info, case.path, case.password)
            expected, why = pdfinfo_live(case)
            if status != "ok":
                crashed |= status in ("crash", "timeout")
                print("MISMATCH %s: reader %s: %s" % (case.name, status, ours))
                failed += 1
                continue
            if expected is None:
                print("MISMATCH %s: pdfinfo failed: %s" % (case.name, why))
                failed += 1
                continue
            found = compare(case, ours, expected)
            print_mismatches(case, found)
            failed += bool(found)
            passed += not found
    print("fixtures: %d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 2 if crashed else (1 if failed else 0)


# --- corpus mode ------------------------------------------------------------------------------


def corpus_mode(info, corpus, quiet):
    rows = list(csv.DictReader(open(os.path.join(corpus, "manifest.tsv"), encoding="utf-8"),
                               delimiter="\t", quoting=csv.QUOTE_NONE))
    counts = collections.Counter()
    errors = collections.defaultdict(list)
    crashes = []
    kinds = collections.defaultdict(list)
    by_kind = collections.defaultdict(collections.Counter)
    text_fields = collections.Counter()  # exact Unicode agreement of the six text fields
    text_causes = collections.defaultdict(list)  # cause: examples
    text_cause_counts = collections.Counter()
    for row in rows:
        role = row["password_role"]
        password = unescape_cell(row["password"])
        case = Case(os.path.join(corpus, row["path"]), row["path"], password, role,
                    strings_method(row["encryption"]), empty_user=not password)
        status, ours = run_reader(info, case.path, case.password)
        counts["files"] += 1
        counts[status] += 1
        classic = row["xref_kind"] == "classic"
        if status == "error":
            errors[re.sub(r"-?\d+", "N", ours)[:40]].append((row["path"], row["xref_kind"], ours))
        elif status in ("crash", "timeout"):
            crashes.append((row["path"], status, ours))
            print("%s %s: %s" % (status.upper(), row["path"], ours))
        xkind = row["xref_kind"]
        if classic:
            counts["classic"] += 1
        expected, why = pdfinfo_from_manifest(row)
        if expected is None:
            if classic:
                counts["classic, pdfinfo failed"] += 1
            continue
        if classic:
            counts["classic, compared"] += 1
        by_kind[xkind]["files"] += 1
        by_kind[xkind]["fields"] += len(FIELD_SET)
        text_fields["compared"] += len(TEXT_FIELDS)
        if status == "ok":
            keys = set(filter(None, row["info_keys"].split(",")))
            for field in TEXT_FIELDS:
                a, b = ours[field], expected["text"][field]
                if a == b:
                    text_fields["agree"] += 1
                else:
                    cause = text_cause(a, b, field, ours, keys)
                    text_cause_counts[cause] += 1
                    text_causes[cause].append(
                        "%s %s: %s / %s" % (row["path"], field, show(a)[:60], show(b)[:60]))
        else:
            text_cause_counts["reader error on a file pdfinfo reads"] += len(TEXT_FIELDS)
            text_causes["reader error on a file pdfinfo reads"].append(row["path"])
        if status != "ok":
            found = [("reader error on a file pdfinfo reads", "error", ours, None)]
            by_kind[xkind]["field misses"] += len(FIELD_SET)
        else:
            found = compare(case, ours, expected)
            by_kind[xkind]["field misses"] += len({f for _, f, _, _ in found} & FIELD_SET)
        if not quiet:
            print_mismatches(case, found)
        if found:
            if classic:
                counts["classic, disagree"] += 1
            for kind in sorted({k for k, _, _, _ in found}):
                kinds[kind].append(row["path"] + ("" if classic else " (%s)" % xkind))
        else:
            by_kind[xkind]["agree"] += 1
            if classic:
                counts["classic, agree"] += 1

    print()
    print("== corpus summary ==")
    print("files: %d; reader read %d, failed with an error %d, crashed %d, timed out %d" % (
        counts["files"], counts["ok"], counts["error"], counts["crash"], counts["timeout"]))
    print("by xref kind (files pdfinfo reads): files, agree on every field, field agreement")
    total = collections.Counter()
    for kind in sorted(by_kind):
        c = by_kind[kind]
        total.update(c)
        print("  %-8s %5d  %5d  %6.2f %%" % (kind, c["files"], c["agree"],
                                             100.0 * (c["fields"] - c["field misses"]) /
                                             max(1, c["fields"])))
    print("  %-8s %5d  %5d  %6.2f %%" % ("all", total["files"], total["agree"],
                                         100.0 * (total["fields"] - total["field misses"]) /
                                         max(1, total["fields"])))
    print("classic-table files: %d; pdfinfo failed on %d; compared %d: agree on all fields %d,"
          " disagree %d" % (counts["classic"], counts["classic, pdfinfo failed"],
                            counts["classic, compared"], counts["classic, agree"],
                            counts["classic, disagree"]))
    print()
    print("text fields (Title, Subject, Author, Keywords, Creator, Producer) of the files pdfinfo"
          " reads, in exact Unicode: %d of %d agree (%.2f %%); the others by cause:" % (
              text_fields["agree"], text_fields["compared"],
              100.0 * text_fields["agree"] / max(1, text_fields["compared"])))
    for cause, count in text_cause_counts.most_common():
        print("  %5d  %s" % (count, cause))
        for item in text_causes[cause][:4]:
            print("           %s" % item)
    print()
    print("reader errors by message (first 40 characters, numbers as N), with xref kinds:")
    for message, files in sorted(errors.items(), key=lambda kv: -len(kv[1])):
        by_kind = collections.Counter(k for _, k, _ in files)
        print("  %4d  %s  [%s]" % (len(files), message,
                                   ", ".join("%s %d" % kv for kv in by_kind.most_common())))
        for path, kind, text in [f for f in files if f[1] == "classic"] + \
                [f for f in files if f[1] != "classic"][:3]:
            print("          %s (%s): %s" % (path, kind, text))
    print()
    print("disagreements, by kind (files):")
    for kind, files in sorted(kinds.items(), key=lambda kv: (-len(kv[1]), kv[0])):
        print("  %4d  %s  e.g. %s" % (len(files), kind, ", ".join(files[:5])))
    print()
    print("crashes and time-outs: %d" % len(crashes))
    for path, status, detail in crashes:
        print("  %s %s %s" % (status, path, detail or ""))
    if crashes:
        return 2
    return 1 if counts["classic, disagree"] else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--info", required=True, help="the pagewick-info program")
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--fixtures", action="append", metavar="DIR")
    mode.add_argument("--corpus", metavar="DIR")
    parser.add_argument("--quiet", action="store_true", help="corpus: summary only")
    args = parser.parse_args()
    if not os.access(args.info, os.X_OK):
        parser.error("%s is not an executable" % args.info)
    if args.fixtures:
        return fixtures_mode(args.info, args.fixtures)
    return corpus_mode(args.info, args.corpus, args.quiet)


if __name__ == "__main__":
    sys.exit(main())
