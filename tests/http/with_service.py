#!/usr/bin/python3
"""Runs a check against a real orbantis-http on a fresh software printer.

    with_service.py BUILD_DIR [--token] -- CHECK ARGS...

Starts orbantis-emulator on a pseudo-terminal and orbantis-http on a free
loopback port with a config of one printer "p1" and a journal of its own,
then runs CHECK with "{url}" in its arguments replaced by the service's base
URL (and "{token}" by the token, with --token). Also checks that the routes
the program serves are exactly the paths of its OpenAPI description. Exits
with the check's status; everything started is stopped.
"""
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(url, headers, process, limit=20.0):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if process.poll() is not None:
            sys.exit("orbantis-http ended at start with status %d" % process.returncode)
        try:
            urllib.request.urlopen(urllib.request.Request(url, headers=headers), timeout=2).read()
            return
        except Exception:
            time.sleep(0.05)
    sys.exit("orbantis-http did not answer at %s" % url)


def check_routes(exe, openapi_path):
    listed = subprocess.run([exe, "--list-routes"], check=True, capture_output=True, text=True).stdout.split("\n")
    served = {tuple(line.split(" ", 1)) for line in listed if line}
    with open(openapi_path) as f:
        doc = json.load(f)
    described = {(method.upper(), re.sub(r"\{[^}]+\}", "{}", path))
                 for path, item in doc["paths"].items() for method in item if method in
                 ("get", "put", "post", "delete", "patch")}
    served = {(m, re.sub(r"\{[^}]+\}", "{}", p)) for m, p in served}
    missing, extra = served - described, described - served
    if missing or extra:
        sys.exit("routes and description differ: served but not described %s; described but not served %s"
                 % (sorted(missing), sorted(extra)))
    print("ok   the %d routes served are the %d operations described" % (len(served), len(described)))


def main():
    args = sys.argv[1:]
    split = args.index("--")
    own, check = args[:split], args[split + 1:]
    build = own[0]
    use_token = "--token" in own
    http_exe = os.path.join(build, "src/http/orbantis-http")
    emulator_exe = os.path.join(build, "tools/emulator/orbantis-emulator")
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    check_routes(http_exe, os.path.join(source, "data/openapi.json"))

    with tempfile.TemporaryDirectory(prefix="orbantis-http-check-") as tmp:
        link = os.path.join(tmp, "printer")
        emulator = subprocess.Popen([emulator_exe, "--pty", "--link", link, "--paper", os.path.join(tmp, "paper.txt")],
                                    stdout=subprocess.PIPE, text=True)
        service = None
        try:
            emulator.stdout.readline()  # "device: /dev/pts/N" once the link is there
            config = os.path.join(tmp, "printers.json")
            with open(config, "w") as f:
                json.dump({"printers": [{"id": "p1", "device": link}]}, f)
            port = free_port()
            # Detection looks only in this folder: the checks never send
            # anything to the serial ports of the machine they run on.
            command = [http_exe, "--listen", "127.0.0.1:%d" % port, "--config", config,
                       "--probe", os.path.join(tmp, "tty*")]
            token = "check-token-%s" % os.urandom(8).hex()
            headers = {}
            if use_token:
                token_file = os.path.join(tmp, "token")
                with open(os.open(token_file, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
                    f.write(token + "\n")
                command += ["--token-file", token_file]
                headers["Authorization"] = "Bearer " + token
            env = dict(os.environ, XDG_STATE_HOME=os.path.join(tmp, "state"),
                       XDG_CONFIG_HOME=os.path.join(tmp, "config"))
            log = open(os.path.join(tmp, "service.log"), "w")
            service = subprocess.Popen(command, env=env, stderr=log)
            url = "http://127.0.0.1:%d" % port
            wait_for(url + "/printers", headers, service)
            run = [a.replace("{url}", url).replace("{token}", token) for a in check]
            status = subprocess.run(run).returncode
            if status != 0:
                log.flush()
                with open(os.path.join(tmp, "service.log")) as f:
                    print("--- the service's log ---\n" + f.read()[-4000:])
            return status
        finally:
            for p in (service, emulator):
                if p and p.poll() is None:
                    p.terminate()
                    try:
                        p.wait(5)
                    except subprocess.TimeoutExpired:
                        p.kill()


if __name__ == "__main__":
    sys.exit(main())
