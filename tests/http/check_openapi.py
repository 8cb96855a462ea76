#!/usr/bin/env python3
"""Checks orbantis-http against its OpenAPI description, data/openapi.json.

Usage: check_openapi.py OPENAPI_JSON BASE_URL [--token T]

BASE_URL is a running orbantis-http (e.g. http://127.0.0.1:8001) whose config
holds one printer, id p1, on a fresh software printer (orbantis-emulator:
fiscalised, serial OB00000001, tax group A at 18.00 %). With --token every
request carries it, and the check also asks without it.

1. The description: OpenAPI 3.1, every $ref resolves, every schema is a valid
   draft 2020-12 schema, every operation has an operationId and a summary.
2. The service serves that same description at /openapi.json.
3. A fixed scenario calls every operation of the description at least once,
   error cases included, and checks each JSON body against the schema the
   description gives for that path, method and status. A status the
   description does not give is a failure. The Z report comes last: it clears
   the printer's day.

Prints one line per call; stops at the first failure with exit status 1.
Needs python3-jsonschema.
"""

import argparse
import json
import os
import re
import struct
import sys
import time
import urllib.error
import urllib.parse
import urllib.request
import zlib
from decimal import Decimal

try:
    import jsonschema
except ImportError:
    sys.stderr.write("check_openapi.py: the Python module jsonschema is missing (Debian: python3-jsonschema).\n")
    sys.exit(2)

METHODS = ("get", "put", "post", "delete", "patch", "options", "head")
PRINTER = "p1"
SERIAL = "OB00000001"
# A receipt prints once per key: a key of its own per run keeps a journal
# that outlives the run from answering "repeated" the next time.
KEY = "http-check-%d-%d" % (os.getpid(), time.time_ns())
# Above the longest wait the service allows (?timeout=600): the socket is a
# guard against a hung service, not a measure of it.
SOCKET_TIMEOUT = 660
# How long a task may take before the check gives up on it: the service's own
# default wait for a call.
TASK_PATIENCE = 120
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class Failure(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Failure(what)


# ---------------------------------------------------------------- the description

def pointer(doc, ref):
    """The node a local $ref ("#/a/b") names, or None."""
    if not ref.startswith("#/"):
        return None
    node = doc
    for part in ref[2:].split("/"):
        part = urllib.parse.unquote(part).replace("~1", "/").replace("~0", "~")
        if isinstance(node, dict) and part in node:
            node = node[part]
        else:
            return None
    return node


def resolve(doc, node):
    while isinstance(node, dict) and "$ref" in node:
        node = pointer(doc, node["$ref"])
    return node


def walk(node, path=""):
    """Every dict in the document, with its JSON pointer."""
    if isinstance(node, dict):
        yield path, node
        for k, v in node.items():
            yield from walk(v, path + "/" + k.replace("~", "~0").replace("/", "~1"))
    elif isinstance(node, list):
        for i, v in enumerate(node):
            yield from walk(v, path + "/" + str(i))


def operations(doc):
    for template, item in doc["paths"].items():
        for method, operation in item.items():
            if method in METHODS:
                yield method.upper(), template, operation


def check_description(doc):
    """The problems of the description itself, as lines."""
    problems = []
    if not re.fullmatch(r"3\.1\.[0-9]+", str(doc.get("openapi", ""))):
        problems.append("openapi is %r, not 3.1.x" % doc.get("openapi"))
    for key in ("openapi", "info", "paths", "components", "security"):
        if key not in doc:
            problems.append("no top-level " + key)
    for key in ("title", "version"):
        if not doc.get("info", {}).get(key):
            problems.append("no info." + key)
    for key in ("schemas", "responses", "parameters", "securitySchemes"):
        if key not in doc.get("components", {}):
            problems.append("no components." + key)
    if problems:
        return problems

    for path, node in walk(doc):
        ref = node.get("$ref")
        if isinstance(ref, str) and pointer(doc, ref) is None:
            problems.append("%s: $ref %s does not resolve" % (path or "/", ref))
    if problems:
        return problems

    schemas = [("/components/schemas/" + name, s) for name, s in doc["components"]["schemas"].items()]
    schemas += [(path + "/schema", node["schema"]) for path, node in walk(doc)
                if isinstance(node.get("schema"), dict) and not path.startswith("/components/schemas")]
    for path, schema in schemas:
        try:
            jsonschema.Draft202012Validator.check_schema(schema)
        except jsonschema.exceptions.SchemaError as e:
            problems.append("%s: not a draft 2020-12 schema: %s" % (path, e.message))

    seen = {}
    for method, template, operation in operations(doc):
        name = "%s %s" % (method, template)
        op_id = operation.get("operationId")
        if not op_id:
            problems.append(name + ": no operationId")
        elif op_id in seen:
            problems.append("%s: operationId %s is also %s's" % (name, op_id, seen[op_id]))
        seen[op_id] = name
        if not operation.get("summary"):
            problems.append(name + ": no summary")
        if not operation.get("responses"):
            problems.append(name + ": no responses")
        for status, response in operation.get("responses", {}).items():
            if "description" not in resolve(doc, response):
                problems.append("%s: response %s has no description" % (name, status))
        # The URLs of the scenario are built from the templates: each {name}
        # must be a declared path parameter.
        declared = {p["name"] for p in map(lambda p: resolve(doc, p), operation.get("parameters", []))
                    if p.get("in") == "path"}
        for name_in_path in re.findall(r"{([^}]+)}", template):
            if name_in_path not in declared:
                problems.append("%s: path parameter %s is not declared" % (name, name_in_path))
    return problems


# ---------------------------------------------------------------- pictures

# The logo written: a grid of dots and a bar in the top left corner, which a
# picture turned upside down or mirrored would move.
LOGO_WIDTH, LOGO_HEIGHT = 576, 96
LOGO_DOTS = frozenset({(x, y) for x in range(8, LOGO_WIDTH, 16) for y in range(4, LOGO_HEIGHT, 8)}
                      | {(x, y) for x in range(16, 112) for y in range(8, 24)})


def bmp(width, height, dark):
    """A 24-bit BMP, white with black at the (x, y) in dark, y counted from the top."""
    pad = b"\0" * (-width * 3 % 4)
    pixels = bytearray()
    for y in reversed(range(height)):  # a BMP with a positive height runs bottom-up
        line = bytearray(b"\xff" * (width * 3))
        for x in range(width):
            if (x, y) in dark:
                line[3 * x:3 * x + 3] = b"\0\0\0"
        pixels += line + pad
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return file_header + info_header + bytes(pixels)


def png_dark(data):
    """Width, height and the dark dots (x, y) of a PNG that is not interlaced."""
    expect(data[:8] == PNG_SIGNATURE, "the logo is not a PNG: it starts with %r" % data[:8])
    pos, idat, palette, header = 8, b"", [], None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    expect(header is not None, "the PNG has no IHDR")
    width, height, depth, color, _, _, interlace = header
    expect(interlace == 0, "the PNG is interlaced")
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color]
    bits = depth * channels
    stride = (width * bits + 7) // 8
    step = max(1, bits // 8)
    raw = zlib.decompress(idat)
    dark, previous = set(), bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        previous = line
        for x in range(width):
            if depth < 8:
                bit = x * depth
                sample = (line[bit // 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1)
                level = sample * 255 // ((1 << depth) - 1)
            else:
                at = x * channels * (depth // 8)
                sample = line[at]
                level = sample
            if color == 3:
                rgb = palette[sample]
            elif color in (2, 6):
                rgb = tuple(line[at + k * (depth // 8)] for k in range(3))
            else:
                rgb = (level, level, level)
            if sum(rgb) < 3 * 128:
                dark.add((x, y))
    return width, height, dark


# ---------------------------------------------------------------- the service

class Service:
    def __init__(self, doc, base, token):
        self.doc = doc
        self.base = base.rstrip("/")
        self.token = token
        self.exercised = set()

    def media_schema(self, method, template, status, content_type):
        """The schema the description gives for this answer (None when it gives none)."""
        operation = self.doc["paths"][template][method.lower()]
        response = operation["responses"].get(str(status))
        expect(response is not None,
               "%s %s answered %d, a status the description does not give for it" % (method, template, status))
        content = resolve(self.doc, response).get("content", {})
        expect(content_type in content,
               "%s %s %d answered %s; the description gives %s"
               % (method, template, status, content_type, ", ".join(content) or "no body"))
        return content[content_type].get("schema")

    def validate(self, schema, body, what):
        # Wrapped beside the components, the description's own $refs resolve.
        validator = jsonschema.Draft202012Validator({"components": self.doc["components"], "allOf": [schema]})
        error = jsonschema.exceptions.best_match(validator.iter_errors(body))
        if error is not None:
            where = "/" + "/".join(map(str, error.absolute_path))
            raise Failure("%s: the body does not match the description at %s: %s\n  body: %s"
                          % (what, where, error.message, json.dumps(body)[:600]))

    def call(self, method, template, status, *, query=None, body=None, content_type="application/json",
             token=True, schema=None, echo=True, **names):
        """Sends one request and checks its status and body; returns (body, headers).

        template is a path of the description, its {names} filled from names;
        for a path the description lacks, schema is what the body must match.
        body: a dict or list goes as JSON, bytes as they are.
        """
        path = re.sub(r"{([^}]+)}", lambda m: urllib.parse.quote(str(names[m.group(1)]), safe=""), template)
        if query:
            path += "?" + urllib.parse.urlencode(query)
        if isinstance(body, (dict, list)):
            body = json.dumps(body).encode("utf-8")
        headers = {}
        if body is not None:
            headers["Content-Type"] = content_type
        if token and self.token:
            headers["Authorization"] = "Bearer " + self.token
        request = urllib.request.Request(self.base + path, data=body, method=method, headers=headers)
        try:
            with urllib.request.urlopen(request, timeout=SOCKET_TIMEOUT) as answer:
                got, answer_headers, data = answer.status, answer.headers, answer.read()
        except urllib.error.HTTPError as e:
            got, answer_headers, data = e.code, e.headers, e.read()
        except OSError as e:
            raise Failure("%s %s: no answer (%s)" % (method, path, e))

        label = "%s %s %d" % (method, template, got)
        shown = data[:300].decode("utf-8", "replace")
        expect(got == status, "%s %s answered %d, expected %d: %s" % (method, path, got, status, shown))
        content_type_got = answer_headers.get_content_type()
        in_description = method.lower() in self.doc["paths"].get(template, {})
        if in_description:
            self.exercised.add((method, template))
            schema = self.media_schema(method, template, got, content_type_got)
        parsed = data
        if content_type_got == "application/json":
            try:
                parsed = json.loads(data.decode("utf-8"))
            except ValueError as e:
                raise Failure("%s: the body is not JSON (%s): %s" % (label, e, shown))
            if schema is not None:
                self.validate(schema, parsed, label)
        elif not in_description:
            raise Failure("%s: answered %s, not JSON" % (label, content_type_got))
        if echo:
            print("ok   " + label)
        return parsed, answer_headers


def receipt_names(answer, dotted, pointers):
    """Whether a refusal of a receipt names these fields: as the receipt answer's
    errors (items[0].taxGroup) or, as an Error, by its field (/items/0/taxGroup)."""
    if "state" in answer:
        paths = {e["path"] for e in answer.get("errors", [])}
        return answer["code"] == -1 and answer["state"] == "refused" and set(dotted) <= paths
    return answer.get("field") in pointers


def amount(text):
    return Decimal(text)


# ---------------------------------------------------------------- the scenario

# Requests the service refuses before any printer hears of them:
# what, method, template, query, body, the field the answer names (None: not checked).
BAD_REQUESTS = [
    ("malformed JSON", "POST", "/printers/{id}/cash", None, b'{"direction": "in", ', None),
    ("an unknown direction", "POST", "/printers/{id}/cash", None, {"direction": "sideways", "amount": "1.00"},
     "/direction"),
    ("an amount as a JSON number", "POST", "/printers/{id}/cash", None, {"direction": "in", "amount": 1.5},
     "/amount"),
    ("a date and time in another form", "PUT", "/printers/{id}/datetime", None,
     {"datetime": "10.12.2026 16:30:05"}, "/datetime"),
    ("a command that is no byte", "POST", "/printers/{id}/raw", None, {"command": 256, "data": ""}, "/command"),
    ("timeout 0", "GET", "/printers/{id}/status", {"timeout": "0"}, None, "timeout"),
    ("timeout 601", "GET", "/printers/{id}/status", {"timeout": "601"}, None, "timeout"),
    ("a day in another form", "GET", "/printers/{id}/receipts", {"day": "yesterday"}, None, "day"),
]

RECEIPT = {
    "key": KEY,
    "operator": {"code": 1, "password": "0000", "till": 1},
    "items": [{"text": "Bread", "taxGroup": "A", "price": "2.50", "quantity": "2", "unit": "pc"}],
    "payments": [{"mode": "P", "amount": "5.00"}],
}
# The same key for another document: the price differs.
OTHER_DOCUMENT = dict(RECEIPT, items=[dict(RECEIPT["items"][0], price="2.60")])
BAD_RECEIPT = dict(RECEIPT, key=KEY + "-refused", operator=dict(RECEIPT["operator"], code=17),
                   items=[dict(RECEIPT["items"][0], taxGroup="G")])


def wait_for_task(service, accepted, headers, schema_of_result):
    """Polls a task to its end; checks its result against the call's own answer schema."""
    expect(headers.get("Location", "").endswith(accepted["href"]),
           "202 with Location %r, not the task's href %s" % (headers.get("Location"), accepted["href"]))
    expect(accepted["href"] == "/tasks/" + accepted["task"], "href %s is not /tasks/%s"
           % (accepted["href"], accepted["task"]))
    deadline, polls = time.monotonic() + TASK_PATIENCE, 0
    while True:
        task, _ = service.call("GET", "/tasks/{id}", 200, id=accepted["task"], echo=False)
        polls += 1
        if task["state"] == "done":
            break
        expect(time.monotonic() < deadline, "task %s still %s after %d s" % (task["id"], task["state"], TASK_PATIENCE))
        time.sleep(0.1)
    print("ok   GET /tasks/{id} 200 (done after %d polls)" % polls)
    expect(task["id"] == accepted["task"] and task["printer"] == PRINTER,
           "the task is %s on %s, not %s on %s" % (task["id"], task["printer"], accepted["task"], PRINTER))
    expect(task["status"] == 200, "task ended with status %s: %s" % (task["status"], json.dumps(task["result"])))
    service.validate(schema_of_result, task["result"], "the task's result")
    return task["result"]


def scenario(service, doc):
    call = service.call

    page, _ = call("GET", "/", 200)
    expect(b"<" in page, "the page holds no HTML")
    served, _ = call("GET", "/openapi.json", 200)
    expect(served == doc, "the service serves another description than the file")

    if service.token:
        answer, _ = call("GET", "/printers", 401, token=False)
        expect(answer["code"] == 401, "401 with code %d" % answer["code"])
        # The page and the descriptions hold no shop data: no token asked for.
        call("GET", "/openapi.json", 200, token=False)
    call("GET", "/receipt.schema.json", 200)

    error = {"$ref": "#/components/schemas/Error"}
    answer, _ = call("GET", "/no/such/route", 404, schema=error)
    expect(answer["code"] == 404, "an unknown route gave code %d" % answer["code"])
    answer, _ = call("DELETE", "/printers/{id}", 405, schema=error, id=PRINTER)
    expect(answer["code"] == 405, "another method gave code %d" % answer["code"])

    listing, _ = call("GET", "/printers", 200)
    mine = [p for p in listing["printers"] if p["id"] == PRINTER]
    expect(len(mine) == 1 and mine[0]["source"] == "config", "printer %s is not listed once from the config: %s"
           % (PRINTER, json.dumps(listing)))
    for template in ("/printers/{id}", "/printers/{id}/receipts"):
        answer, _ = call("GET", template, 404, id="no-such-printer")
        expect(answer["code"] == 404, "an unknown printer gave code %d" % answer["code"])

    identity, _ = call("GET", "/printers/{id}", 200, id=PRINTER)
    expect(identity["id"] == PRINTER and identity["serial"] == SERIAL and identity["taxRates"]["A"] == "18.00",
           "identity: %s" % json.dumps(identity))
    status, _ = call("GET", "/printers/{id}/status", 200, query={"timeout": "30"}, id=PRINTER)
    expect(not status["receiptOpen"] and status["receipt"] is None and status["paper"] == "ok",
           "status of an idle printer: %s" % json.dumps(status))

    for what, method, template, query, body, field in BAD_REQUESTS:
        answer, _ = call(method, template, 400, query=query, body=body, id=PRINTER)
        if field is None:
            expect(answer["code"] == 400, "%s: code %d" % (what, answer["code"]))
        else:
            expect(answer["field"] == field, "%s: field %r, not %r" % (what, answer["field"], field))

    clock, _ = call("GET", "/printers/{id}/datetime", 200, id=PRINTER)
    # Set to what it read, the clock never goes back before the printer's
    # last fiscal record, which a printer refuses.
    set_back, _ = call("PUT", "/printers/{id}/datetime", 200, body=clock, id=PRINTER)
    expect(set_back["datetime"] >= clock["datetime"], "clock set to %s reads back %s"
           % (clock["datetime"], set_back["datetime"]))

    written, _ = call("PUT", "/printers/{id}/logo", 200, body=bmp(LOGO_WIDTH, LOGO_HEIGHT, LOGO_DOTS),
                      content_type="image/bmp", id=PRINTER)
    expect(written["rows"] == LOGO_HEIGHT, "the logo wrote %d rows" % written["rows"])
    picture, _ = call("GET", "/printers/{id}/logo", 200, id=PRINTER)
    width, height, dark = png_dark(picture)
    expect((width, height) == (LOGO_WIDTH, LOGO_HEIGHT), "the logo is %d x %d" % (width, height))
    expect(dark == LOGO_DOTS, "the logo read back differs from the one written: %d dots missing, %d extra"
           % (len(LOGO_DOTS - dark), len(dark - LOGO_DOTS)))
    call("PUT", "/printers/{id}/logo", 415, body=b"not a picture", content_type="application/octet-stream",
         id=PRINTER)

    raw, _ = call("POST", "/printers/{id}/raw", 200, body={"command": 74, "data": "X"}, id=PRINTER)
    expect(raw["command"] == 74 and raw["ok"] and raw["code"] == 0, "raw 74: %s" % json.dumps(raw))
    # Closing a receipt when none is open: the printer refuses, still 200.
    raw, _ = call("POST", "/printers/{id}/raw", 200, body={"command": 56, "data": ""}, id=PRINTER)
    expect(not raw["ok"] and raw["code"] < 0 and raw["text"], "raw 56 with no receipt open: %s" % json.dumps(raw))

    cash, _ = call("POST", "/printers/{id}/cash", 200, body={"direction": "in", "amount": "10.00"}, id=PRINTER)
    expect(cash == {"done": True, "cashInDrawer": "10.00", "cashIn": "10.00", "cashOut": "0.00"},
           "cash in on a fresh day: %s" % json.dumps(cash))
    cash, _ = call("POST", "/printers/{id}/cash", 200, body={"direction": "out", "amount": "99999.00"}, id=PRINTER)
    expect(not cash["done"] and cash["cashInDrawer"] == "10.00",
           "cash out of more than the drawer holds: %s" % json.dumps(cash))

    refused, _ = call("POST", "/printers/{id}/receipt", 400, body=BAD_RECEIPT, id=PRINTER)
    # The operator is checked with the document's structure, before the
    # values of the lines, so it is the field named first.
    expect(receipt_names(refused, ["operator.code"], ["operator.code"]) and refused["field"] == "operator.code",
           "the refused receipt does not name its bad fields: %s" % json.dumps(refused))
    # A refused document is not recorded.
    call("GET", "/printers/{id}/receipts/{key}", 404, id=PRINTER, key=BAD_RECEIPT["key"])

    printed, _ = call("POST", "/printers/{id}/receipt", 200, body=RECEIPT, id=PRINTER)
    expect(printed["code"] == 0 and printed["state"] == "printed" and printed.get("key") == KEY
           and not printed.get("repeated"), "the receipt: %s" % json.dumps(printed))
    expect(amount(printed["totals"]["subtotal"]) == Decimal("5.00") and amount(printed["totals"]["A"]) == Decimal("5.00")
           and amount(printed["paid"]) == Decimal("5.00") and amount(printed["change"]) == 0,
           "the receipt's sums: %s" % json.dumps(printed))
    again, _ = call("POST", "/printers/{id}/receipt", 200, body=RECEIPT, id=PRINTER)
    expect(again["code"] == 0 and again.get("repeated") is True, "sent again: %s" % json.dumps(again))
    reused, _ = call("POST", "/printers/{id}/receipt", 409, body=OTHER_DOCUMENT, id=PRINTER)
    expect("state" not in reused or (reused["code"] == -2 and reused["state"] == "refused"),
           "another document under the key: %s" % json.dumps(reused))

    stored, _ = call("GET", "/printers/{id}/receipts/{key}", 200, id=PRINTER, key=KEY)
    expect(stored["code"] == 0 and stored["state"] == "printed" and stored.get("journalState") == "printed"
           and stored.get("printer") == SERIAL and stored.get("key") == KEY, "from the journal: %s" % json.dumps(stored))
    today, _ = call("GET", "/printers/{id}/receipts", 200, id=PRINTER)
    expect(KEY in [r.get("key") for r in today["receipts"]], "today's list lacks %s: %s" % (KEY, json.dumps(today)))
    same_day, _ = call("GET", "/printers/{id}/receipts", 200, query={"day": today["day"]}, id=PRINTER)
    expect(same_day == today, "?day=%s differs from today's list" % today["day"])
    long_ago, _ = call("GET", "/printers/{id}/receipts", 200, query={"day": "2000-01-01"}, id=PRINTER)
    expect(long_ago == {"day": "2000-01-01", "receipts": []}, "2000-01-01: %s" % json.dumps(long_ago))

    listing, _ = call("GET", "/printers", 200)
    mine = [p for p in listing["printers"] if p["id"] == PRINTER]
    expect(mine[0]["serial"] == SERIAL, "printer %s after its calls: %s" % (PRINTER, json.dumps(mine[0])))

    accepted, headers = call("POST", "/printers/{id}/xreport", 202, query={"async": "1"}, id=PRINTER)
    report = wait_for_task(service, accepted, headers,
                           service.media_schema("POST", "/printers/{id}/xreport", 200, "application/json"))
    expect(report["totals"] == {"A": "5.00", "B": "0.00", "C": "0.00", "D": "0.00", "E": "0.00", "F": "0.00"},
           "X report after one receipt of 5.00 in A: %s" % json.dumps(report))
    call("GET", "/tasks/{id}", 404, id="no-such-task")

    call("POST", "/printers/detect", 200)

    report, _ = call("POST", "/printers/{id}/zreport", 200, id=PRINTER)
    expect(report["closure"] >= 1 and report["totals"]["A"] == "5.00", "Z report: %s" % json.dumps(report))


def main(argv):
    parser = argparse.ArgumentParser(description="Checks orbantis-http against its OpenAPI description.")
    parser.add_argument("openapi")
    parser.add_argument("base_url")
    parser.add_argument("--token")
    args = parser.parse_args(argv[1:])
    with open(args.openapi, encoding="utf-8") as f:
        doc = json.load(f)

    problems = check_description(doc)
    if problems:
        for line in problems:
            print("FAIL " + line)
        return 1
    print("ok   the description is OpenAPI %s and its references resolve" % doc["openapi"])

    service = Service(doc, args.base_url, args.token)
    try:
        scenario(service, doc)
    except Failure as e:
        print("FAIL " + str(e))
        return 1
    missing = sorted({(m, t) for m, t, _ in operations(doc)} - service.exercised, key=lambda mt: (mt[1], mt[0]))
    if missing:
        print("FAIL operations the scenario never called: " + ", ".join("%s %s" % mt for mt in missing))
        return 1
    print("ok   every operation of the description was called")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
