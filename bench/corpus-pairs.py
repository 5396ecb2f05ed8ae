#!/usr/bin/env python3
"""Distinct (original -> suggestion) pairs of a check-sentences run.

Reads check-sentences' JSON lines on standard input and prints, per distinct
pair, how often it was suggested, the English explanation's first words (which
tell the rule apart) and one sentence it was found in; then the totals.
Usage: build/bin/check-sentences --vocabulary CORPUS | bench/corpus-pairs.py
"""
import collections
import json
import sys

pairs = collections.OrderedDict()
sentences = 0
flagged = 0
suggestions = 0
for line in sys.stdin:
    record = json.loads(line)
    sentences += 1
    issues = record["issues"]
    if issues:
        flagged += 1
    for issue in issues:
        suggestions += 1
        key = (issue["original"], issue["suggestion"], issue["explanationEn"][:40])
        entry = pairs.setdefault(key, [0, record["text"]])
        entry[0] += 1

for (original, suggestion, explanation), (count, example) in sorted(
        pairs.items(), key=lambda kv: -kv[1][0]):
    print(f"{count:6d}  {original} -> {suggestion}  [{explanation}]  {example}")
print(f"sentences: {sentences}, with suggestions: {flagged}, suggestions: {suggestions}, "
      f"distinct pairs: {len(pairs)}")
