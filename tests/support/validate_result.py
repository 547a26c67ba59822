#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Validates plenar --json output against docs/plenar-result.schema.json.

validate_result.py SCHEMA FILE...   each FILE holds one result document
validate_result.py SCHEMA --events FILE...   each line of FILE that starts with '{' is an event

Exit 0 when all are valid; 1 with the first error per file on stderr.
"""
import json
import sys

import jsonschema


def main(argv):
    schema = json.load(open(argv[1], encoding="utf-8"))
    events = len(argv) > 2 and argv[2] == "--events"
    files = argv[3:] if events else argv[2:]
    validator = jsonschema.Draft202012Validator(schema)
    event_validator = jsonschema.Draft202012Validator(
        {"$ref": "#/$defs/event", "$defs": schema["$defs"]})
    bad = 0
    for name in files:
        text = open(name, encoding="utf-8").read()
        try:
            if events:
                docs = [json.loads(line) for line in text.splitlines() if line.startswith("{")]
            else:
                docs = [json.loads(text)]
        except json.JSONDecodeError as e:
            print(f"{name}: not JSON: {e}", file=sys.stderr)
            bad += 1
            continue
        for doc in docs:
            errors = sorted((event_validator if events else validator).iter_errors(doc),
                            key=lambda e: list(e.path))
            if errors:
                e = errors[0]
                where = "/".join(str(p) for p in e.path)
                print(f"{name}: at /{where}: {e.message}", file=sys.stderr)
                bad += 1
                break
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
