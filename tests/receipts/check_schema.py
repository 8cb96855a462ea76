#!/usr/bin/env python3
"""Checks data/receipt.schema.json against documents the driver takes and refuses.

Usage: check_schema.py SCHEMA_PATH

The good documents are those of the C++ tests (ReceiptFixture.h and
test_receipt_document.cpp), a minimal one and one with every limit at its
edge: each must be valid. Each bad document is a good one with one fault,
and must be refused for that fault: an error of the expected keyword at the
expected place, not any error. Needs python3-jsonschema.

Prints one line per case, then "N passed, M failed"; exit status 1 when a
case failed, else 0.
"""

import copy
import json
import os
import sys

try:
    import jsonschema
except ImportError:
    sys.stderr.write("check_schema.py: the Python module jsonschema is missing (Debian: python3-jsonschema).\n")
    sys.exit(2)


# ---------------------------------------------------------------- good documents

# The receipt the exactly-once tests print.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "ten-items.json"), encoding="utf-8") as f:
    TEN_ITEMS = json.load(f)

# The buyer example of tests/receipts/test_receipt_document.cpp: no payments.
WITH_BUYER = json.loads("""{"key": "k2", "operator": {"code": 2, "password": "0000", "till": 3},
    "buyer": {"lines": ["Acme Ltd", "Main St. 1", "Sofia"], "tin": "100200300", "vrn": "40012345A"},
    "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]}""")

MINIMAL = {
    "key": "k1",
    "operator": {"code": 1, "password": "0000", "till": 1},
    "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}],
}

# Every limit at its edge: a wrong bound in the schema (36 for 35, 8 for 7)
# refuses this document.
AT_THE_LIMITS = {
    "key": "k" * 128,
    "operator": {"code": 16, "password": "99999999", "till": 99999},
    "items": [
        {"text": "t" * 36, "text2": "Kaffee groß, 1 €", "taxGroup": "F", "price": "99999999.00",
         "quantity": "0.001", "unit": "u" * 8, "discountPercent": "99"},
        {"text": "Correction", "taxGroup": "A", "price": "-1.00", "unit": "pc", "discountAmount": "99999999"},
        {"plu": 999999999, "quantity": "99999999", "unit": "kg", "discountAmount": "9999.99"},
        {"comment": "c" * 42},
    ] + [{"comment": "x"}] * 996,
    "payments": [{"mode": m, "amount": "999999999.00"} for m in "PNCDIJKL"],
}


def changed(document, change):
    """A deep copy of document with change applied to it."""
    d = copy.deepcopy(document)
    change(d)
    return d


def item0(**fields):
    """A change that sets (None: removes) fields of the first line."""
    def change(d):
        for name, value in fields.items():
            if value is None:
                d["items"][0].pop(name, None)
            else:
                d["items"][0][name] = value
    return change


def put(path, value):
    """A change that sets the value at path (a list of keys and indexes), or removes it for None."""
    def change(d):
        parent = d
        for step in path[:-1]:
            parent = parent[step]
        if value is None:
            del parent[path[-1]]
        else:
            parent[path[-1]] = value
    return change


GOOD = [
    ("the ten-item receipt of the C++ tests", TEN_ITEMS),
    ("a buyer and no payments", WITH_BUYER),
    ("a minimal receipt", MINIMAL),
    ("every limit at its edge", AT_THE_LIMITS),
]

# name, document, where the error must be (instance path), its keyword
BAD = [
    ("missing key", changed(MINIMAL, put(["key"], None)), "", "required"),
    ("price as a JSON number", changed(MINIMAL, item0(price=1.5)), "items/0/price", "type"),
    ("tax group G", changed(MINIMAL, item0(taxGroup="G")), "items/0/taxGroup", "enum"),
    ("text of 37 characters", changed(MINIMAL, item0(text="t" * 37)), "items/0/text", "maxLength"),
    ("negative quantity", changed(MINIMAL, item0(quantity="-2")), "items/0/quantity", "pattern"),
    ("unknown (misspelt) field", changed(MINIMAL, item0(quantitiy="2")), "items/0", "additionalProperties"),
    ("both discounts", changed(MINIMAL, item0(discountPercent="5", discountAmount="1")), "items/0", "not"),
    ("payment mode Q", changed(MINIMAL, put(["payments"], [{"mode": "Q", "amount": "2"}])), "payments/0/mode",
     "enum"),
    ("operator code 17", changed(MINIMAL, put(["operator", "code"], 17)), "operator/code", "maximum"),
    ("buyer with two lines", changed(WITH_BUYER, put(["buyer", "lines"], ["Acme", "Sofia"])), "buyer/lines",
     "minItems"),
    # Rules the schema states beyond the field types.
    ("no sale, only a comment", changed(MINIMAL, put(["items"], [{"comment": "hello"}])), "items", "contains"),
    ("a sale without its unit", changed(MINIMAL, item0(unit=None)), "items/0", "required"),
    ("a programmed item with a discount but no unit",
     changed(MINIMAL, put(["items"], MINIMAL["items"] + [{"plu": 7, "discountPercent": "5"}])), "items/1",
     "dependentRequired"),
    ("a line break at the end of a text", changed(MINIMAL, item0(text="Tea\n")), "items/0/text", "not"),
    ("a discount of 99.01 %", changed(MINIMAL, item0(discountPercent="99.01")), "items/0/discountPercent",
     "pattern"),
]


# ---------------------------------------------------------------- the run

def all_errors(errors):
    """The errors with the errors inside them (those of each branch of a oneOf)."""
    for e in errors:
        yield e
        yield from all_errors(e.context)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: check_schema.py SCHEMA_PATH\n")
        return 2
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)

    cls = jsonschema.Draft202012Validator
    passed = failed = 0

    def report(ok, name, why=""):
        nonlocal passed, failed
        if ok:
            passed += 1
            print("ok    " + name)
        else:
            failed += 1
            print("FAIL  " + name + (": " + why if why else ""))

    try:
        cls.check_schema(schema)
    except jsonschema.exceptions.SchemaError as e:
        report(False, "the schema is a valid draft 2020-12 schema", e.message)
        print("%d passed, %d failed" % (passed, failed))
        return 1
    report(True, "the schema is a valid draft 2020-12 schema")
    validator = cls(schema)

    for name, document in GOOD:
        errors = list(validator.iter_errors(document))
        report(not errors, "valid: " + name,
               "; ".join("/".join(map(str, e.absolute_path)) + ": " + e.message for e in errors[:3]))

    for name, document, path, keyword in BAD:
        errors = list(validator.iter_errors(document))
        found = [e for e in all_errors(errors)
                 if "/".join(map(str, e.absolute_path)) == path and e.validator == keyword]
        if not errors:
            report(False, "invalid: " + name, "the schema took it")
        elif not found:
            report(False, "invalid: " + name,
                   "refused, but not by %s at '%s': %s" % (keyword, path, errors[0].message))
        else:
            report(True, "invalid: " + name)

    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
