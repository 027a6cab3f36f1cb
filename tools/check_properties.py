#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Compares the document features pagewick-info reads with what general PDF tools report.

  check_properties.py --info PAGEWICK_INFO --corpus CORPUS_DIR [--list-differences]
  check_properties.py --info PAGEWICK_INFO --fixtures DIR [--fixtures DIR ...]

Each property is held against one peer, on the files that peer reads:

  page size    page 1's size and rotation of `pdfinfo -f 1 -l 1` (its crop box in points,
               unturned; the reader's size is turned back by its rotation), within 0.15 mm
  tagged, form, JavaScript   the Tagged, Form and JavaScript lines of the same pdfinfo run
  permissions  the eight permissions `qpdf --show-encryption` lists (encrypted files only)
  signatures   `pdfsig -nocert`: the number of signed fields, and for each in order the
               signer's common name, the signing time (pdfsig shows it in UTC here; the
               reader shows /M as written, so a whole number of quarter hours up to 14 hours
               apart counts as the same) and "Total document signed" against the reader's
               "not changed after signing"
  attachments  the count on the first line of `pdfdetach -list`
  PDF/A, PDF/UA  `exiftool -XMP-pdfaid:all -XMP-pdfuaid:all`: part and conformance (files
               that are not encrypted: PDF/A forbids encryption)

--corpus takes the files and their passwords from CORPUS_DIR/manifest.tsv; --fixtures takes
every PDF file of each folder (opened without a password). For each property the summary gives
the files the peer read, how many agree, the share, and the differences grouped by cause.

Exit status: 0 when every property agrees on at least 99 % of the files its peer reads, 1 when
one does not, 2 when the reader crashed or timed out (or bad arguments), 77 when a peer tool is
missing (fixtures mode).
"""

import argparse
import collections
import concurrent.futures
import csv
import datetime
import json
import os
import re
import shutil
import subprocess
import sys

TIMEOUT = 20
PEERS = ["pdfinfo", "qpdf", "pdfsig", "pdfdetach", "exiftool"]
# qpdf's words for each permission, and the reader's key.
PERMISSIONS = [("extract for accessibility", "CanExtractForAccessibility"),
               ("extract for any purpose", "CanCopy"),
               ("print low resolution", "CanPrint"),
               ("print high resolution", "CanPrintHighQuality"),
               ("modify document assembly", "CanAssemble"),
               ("modify forms", "CanFillForms"),
               ("modify annotations", "CanAnnotate"),
               ("modify other", "CanModify")]
MM_PER_POINT = 25.4 / 72


def run(command, env=None):
    """(exit status, stdout text, stderr text); status None on a time-out."""
    try:
        done = subprocess.run(command, capture_output=True, timeout=TIMEOUT, env=env)
    except subprocess.TimeoutExpired:
        return None, "", "timed out"
    return (done.returncode, done.stdout.decode("utf-8", "replace"),
            done.stderr.decode("utf-8", "replace"))


def reader(info, path, password):
    status, out, err = run([info] + (["--password", password] if password else []) +
                           ["--", path], dict(os.environ, TZ="UTC"))
    if status is None or status not in (0, 1):
        return "crash", "exit %s %s" % (status, err.strip()[-200:])
    try:
        record = json.loads(out)
    except ValueError:
        return "crash", "not one JSON line: %r" % out[:200]
    return ("error", record["error"]) if "error" in record else ("ok", record)


# --- the peers ---------------------------------------------------------------------------------


def pdfinfo(path, password):
    command = ["pdfinfo", "-f", "1", "-l", "1"]
    if password:
        command += ["-upw", password]
    status, out, err = run(command + [path])
    if status != 0 and password:  # an owner password that is no user password
        status, out, err = run(command[:-2] + ["-opw", password, path])
    if status != 0:
        return None
    values = {}
    for line in out.splitlines():
        key, _, value = line.partition(":")
        values[key.strip()] = value.strip()
    size = re.match(r"([\d.]+) x ([\d.]+) pts", values.get("Page    1 size", ""))
    size = (float(size.group(1)), float(size.group(2))) if size else None
    return {
        # 0 x 0: pdfinfo found no page 1 it could use.
        "size": size if size and size[0] > 0 and size[1] > 0 else None,
        "rotate": int(values["Page    1 rot"]) if "Page    1 rot" in values else None,
        "tagged": values.get("Tagged") == "yes",
        "form": {"none": "", "AcroForm": "AcroForm", "XFA": "XFA"}.get(values.get("Form"), "?"),
        "javascript": values.get("JavaScript") == "yes",
    }


def qpdf_permissions(path, password):
    status, out, _ = run(["qpdf", "--password=" + password, "--show-encryption", path])
    if status not in (0, 3) or not out:
        return None
    if "File is not encrypted" in out:
        return {key: True for _, key in PERMISSIONS}
    found = dict(re.findall(r"^([a-z ]+): (allowed|not allowed)$", out, re.M))
    if not all(words in found for words, _ in PERMISSIONS):
        return None
    return {key: found[words] == "allowed" for words, key in PERMISSIONS}


def pdfsig(path, password):
    env = dict(os.environ, TZ="UTC")
    command = ["pdfsig", "-nocert", "-no-ocsp"] + (["-upw", password] if password else []) + [path]
    status, out, err = run(command, env)
    if "does not contain any signatures" in out + err:
        return []
    if status != 0:
        return None
    signatures = []
    for block in re.split(r"^Signature #\d+:$", out, flags=re.M)[1:]:
        if "is not signed" in block:
            continue
        name = re.search(r"Signer Certificate Common Name: (.*)$", block, re.M)
        when = re.search(r"Signing Time: (.*)$", block, re.M)
        moment = None
        if when:
            try:
                moment = datetime.datetime.strptime(when.group(1).strip(), "%b %d %Y %H:%M:%S")
            except ValueError:
                pass
        signatures.append({"signer": name.group(1).strip() if name else "",
                           "time": moment,
                           "whole": "Total document signed" in block})
    return signatures


def pdfdetach(path, password):
    status, out, _ = run(["pdfdetach", "-list"] + (["-upw", password] if password else []) +
                         [path])
    m = re.match(r"(\d+) embedded files", out)
    return int(m.group(1)) if status == 0 and m else None


def exiftool_conformance(paths):
    """{path: (pdfA, pdfUA)} for the files exiftool reads, in batches."""
    result = {}
    for start in range(0, len(paths), 200):
        batch = paths[start:start + 200]
        try:
            done = subprocess.run(["exiftool", "-j", "-G1", "-q", "-q", "-FileType", "-XMP-pdfaid:all",
                                   "-XMP-pdfuaid:all"] + batch, capture_output=True,
                                  timeout=600)
            records = json.loads(done.stdout or b"[]")
        except (subprocess.TimeoutExpired, ValueError):
            continue
        for r in records:
            if "ExifTool:Error" not in r and r.get("File:FileType") == "PDF":
                result[r["SourceFile"]] = r
    return result


# --- comparison ---------------------------------------------------------------------------------


class Tally:
    def __init__(self):
        self.unread = 0  # files the peer gives no value for
        self.read = 0
        self.agree = 0
        self.causes = collections.defaultdict(list)

    def add(self, name, cause):
        self.read += 1
        if cause is None:
            self.agree += 1
        else:
            self.causes[cause].append(name)


def same_time(ours, theirs):
    """Equal, or apart by a whole time zone (quarter hours, at most 14 hours)."""
    if ours is None or theirs is None:
        return ours == theirs
    seconds = abs((ours - theirs).total_seconds())
    return seconds <= 14 * 3600 and seconds % 900 == 0


def our_time(text):
    return datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S") if text else None


def page_cause(ours, theirs):
    if ours["PageWidthMm"] is None:
        return "reader found no first page"
    if ours["PageRotate"] != theirs["rotate"]:
        return "rotation differs"
    w, h = ours["PageWidthMm"], ours["PageHeightMm"]
    if ours["PageRotate"] % 180:
        w, h = h, w
    tw, th = (v * MM_PER_POINT for v in theirs["size"])
    if abs(w - tw) <= 0.15 and abs(h - th) <= 0.15:
        return None
    if abs(w - th) <= 0.15 and abs(h - tw) <= 0.15:
        return "width and height swapped"
    if abs(w / tw - h / th) < 0.001:
        return "scaled by the page's /UserUnit, which pdfinfo leaves out"
    return "size differs"


def signature_cause(ours, theirs):
    mine = ours["Signatures"]
    if len(mine) != len(theirs):
        return "signed fields: reader %d, pdfsig %d" % (len(mine), len(theirs))
    for a, b in zip(mine, theirs):
        if a["Signer"] != b["signer"]:
            return "signer differs"
        if not same_time(our_time(a["SigningTime"]), b["time"]):
            return "signing time differs"
        if a["ChangedAfterSigning"] == b["whole"]:
            return "whole-document coverage differs"
    return None


def conformance(record):
    """(PDF/A, PDF/UA) as the reader writes them: "2B", "1"."""
    return (str(record.get("XMP-pdfaid:Part", "")) + str(record.get("XMP-pdfaid:Conformance", "")),
            str(record.get("XMP-pdfuaid:Part", "")))


def compare_file(info, path, name, password, tallies, crashes, differences):
    status, ours = reader(info, path, password)
    if status == "crash":
        crashes.append((name, ours))
    peer = pdfinfo(path, password)
    if peer is not None:
        for prop, cause in (("page size", None), ("tagged", None), ("form", None),
                            ("JavaScript", None)):
            if prop == "page size" and peer["size"] is None:
                tallies["page size"].unread += 1
                continue
            if status != "ok":
                cause = "reader error: " + ours[:60]
            elif prop == "page size":
                cause = page_cause(ours, peer)
            elif prop == "tagged":
                cause = None if ours["Tagged"] == peer["tagged"] else "tagged differs"
            elif prop == "form":
                cause = None if ours["Forms"] == peer["form"] else \
                    "form: reader %r, pdfinfo %r" % (ours["Forms"], peer["form"])
            else:
                cause = None if ours["JavaScript"] == peer["javascript"] else \
                    "JavaScript: reader %s, pdfinfo %s" % (ours["JavaScript"], peer["javascript"])
            tallies[prop].add(name, cause)
            if cause:
                differences.append((prop, name, cause))
    perms = qpdf_permissions(path, password)
    if perms is not None:
        if status != "ok":
            cause = "reader error: " + ours[:60]
        else:
            wrong = [k for k, v in perms.items() if ours[k] != v]
            cause = "differ: " + ", ".join(wrong) if wrong else None
        tallies["permissions"].add(name, cause)
        if cause:
            differences.append(("permissions", name, cause))
    sigs = pdfsig(path, password)
    if sigs is not None:
        cause = ("reader error: " + ours[:60]) if status != "ok" else signature_cause(ours, sigs)
        tallies["signatures"].add(name, cause)
        if cause:
            differences.append(("signatures", name, cause))
    count = pdfdetach(path, password)
    if count is not None:
        if status != "ok":
            cause = "reader error: " + ours[:60]
        else:
            cause = None if ours["Attachments"] == count else \
                "attachments: reader %d, pdfdetach %d" % (ours["Attachments"], count)
        tallies["attachments"].add(name, cause)
        if cause:
            differences.append(("attachments", name, cause))
    return status, ours


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--info", required=True)
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--corpus")
    mode.add_argument("--fixtures", action="append", metavar="DIR")
    parser.add_argument("--list-differences", action="store_true")
    args = parser.parse_args()
    missing = [t for t in PEERS if shutil.which(t) is None]
    if missing:
        print("not installed: %s; nothing compared" % ", ".join(missing))
        return 77
    cases = []  # (path, name, password)
    if args.corpus:
        rows = csv.DictReader(open(os.path.join(args.corpus, "manifest.tsv"), encoding="utf-8"),
                              delimiter="\t", quoting=csv.QUOTE_NONE)
        for row in rows:
            password = row["password"].replace("\\\\", "\\")
            cases.append((os.path.join(args.corpus, row["path"]), row["path"], password))
    else:
        for folder in args.fixtures:
            for entry in sorted(os.listdir(folder)):
                if entry.lower().endswith(".pdf"):
                    cases.append((os.path.join(folder, entry),
                                  os.path.join(os.path.basename(folder.rstrip("/")), entry), ""))
    tallies = collections.defaultdict(Tally)
    crashes, differences = [], []
    results = {}
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        futures = {pool.submit(compare_file, args.info, path, name, password, tallies, crashes,
                               differences): (path, name) for path, name, password in cases}
        for future in concurrent.futures.as_completed(futures):
            results[futures[future][0]] = future.result()
    # PDF/A forbids encryption, and exiftool takes seconds to derive an AES-256 key in Perl:
    # encrypted files are left out of that comparison.
    xmp = exiftool_conformance([path for path, _, _ in cases
                                if not (results[path][0] == "ok" and results[path][1]["Encrypted"])])
    for path, name, _ in cases:
        record = xmp.get(path)
        if record is None:
            continue
        status, ours = results[path]
        if status != "ok":
            cause = "reader error: " + ours[:60]
        else:
            theirs = conformance(record)
            cause = None
            if (ours["PdfA"], ours["PdfUA"]) != theirs:
                cause = "PDF/A, UA: reader %r/%r, exiftool %r/%r" % (
                    ours["PdfA"], ours["PdfUA"], theirs[0], theirs[1])
        tallies["PDF/A, PDF/UA"].add(name, cause)
        if cause:
            differences.append(("PDF/A, PDF/UA", name, cause))

    print("property        read by peer   agree      share   (peer gives no value)")
    worst = 100.0
    for prop in ["page size", "tagged", "form", "JavaScript", "permissions", "signatures",
                 "attachments", "PDF/A, PDF/UA"]:
        t = tallies[prop]
        share = 100.0 * t.agree / t.read if t.read else 100.0
        worst = min(worst, share)
        print("%-15s %12d %7d %9.2f %%   %s" % (prop, t.read, t.agree, share, t.unread or ""))
        grouped = collections.Counter()
        for cause, names in t.causes.items():
            grouped[re.sub(r"reader error: .*", "reader error", cause)] += len(names)
        for cause, count in grouped.most_common():
            examples = [n for c, ns in t.causes.items()
                        if re.sub(r"reader error: .*", "reader error", c) == cause for n in ns]
            print("    %5d  %s  e.g. %s" % (count, cause, ", ".join(sorted(examples)[:3])))
    if args.list_differences:
        print()
        for prop, name, cause in sorted(differences):
            print("%s\t%s\t%s" % (prop, name, cause))
    print("reader crashes and time-outs: %d" % len(crashes))
    for name, detail in crashes:
        print("  %s %s" % (name, detail))
    if crashes:
        return 2
    return 0 if worst >= 99.0 else 1


if __name__ == "__main__":
    sys.exit(main())
