#!/usr/bin/python3
"""Print a fiscal receipt through the ORBANTIS automation server.

Usage: print_receipt.py DEVICE [BAUD]

DEVICE is the printer's serial device (e.g. /dev/ttyUSB0, or the path that
`orbantis-emulator --pty --link PATH` made); BAUD defaults to 115200.

The script asks the server on the D-Bus session bus for an automation object,
becomes its event sink and prints every ON_ERROR event, connects the object to
the printer, prints a receipt with two sales, then closes the connection and
releases the object. It prints every result with the answers that came back,
and the last error text after a negative result.

Exit status: 0 when every call succeeded, 1 when a call returned a negative
result, 2 on a usage error or when the bus or the server failed.

Needs Debian's python3-dbus and python3-gi (for the GLib main loop). They are
installed for the system Python, /usr/bin/python3.
"""

import sys

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "ORBANTIS.KELMORA"
CLASS_PATH = "/ORBANTIS/KELMORA"
CLASS_INTERFACE = "ORBANTIS.KELMORA"
INTERFACE = "ORBANTIS.IKELMORA"
EVENTS = "ORBANTIS.IKELMORAEvents"
AUTOMATION = "ORBANTIS.Automation"

# Seconds per call. A silent printer makes CONNECT_TO_PRINTER last about 20 s
# and a command about 6.5 s; a logo transfer takes much longer.
TIMEOUT = 120

# The receipt: method, value parameters, names of the answer (in-out)
# parameters. Every parameter of a command method is a string.
RECEIPT = [
    # Open a fiscal receipt: operator 1, password 0000, till 1.
    ("CMD_48_0_0", ["1", "0000", "1"], ["RecCnt", "GlobRecCnt"]),
    # A sale in tax group B at 1.10, without text.
    ("CMD_49_0_0", ["B", "1.10"], []),
    # A sale with two text lines: 2 cups at 2.40 in tax group A.
    ("CMD_49_0_9", ["Espresso", "double", "A", "2.40", "2", "cup"], []),
    # Subtotal: print it (1), do not show it on the display (0).
    ("CMD_51_0_0", ["1", "0"], ["SubTotal", "TaxA", "TaxB", "TaxC", "TaxD", "TaxE", "TaxF"]),
    # Payment in cash (P) of 10.00.
    ("CMD_53_0_0", ["P", "10.00"], ["PaidCode", "Amount_Out"]),
    # Close the receipt.
    ("CMD_56_0_0", [], ["RecCnt", "GlobRecCnt"]),
]


class BusTrouble(Exception):
    """The bus or the server failed a call (no result code came back)."""


class Kelmora:
    """One automation object of the server and its event sink."""

    def __init__(self, bus):
        self.bus = bus
        self.path = None
        self.proxy = None
        self.receiver = None

    def _call(self, proxy, interface, method, signature="", *args):
        # The call runs in a GLib main loop, so that the events the server
        # sends during a call (they come before its reply) reach on_error at
        # once and in order.
        loop = GLib.MainLoop()
        outcome = {}

        def on_reply(*values):
            outcome["values"] = values
            loop.quit()

        def on_failure(error):
            outcome["error"] = error
            loop.quit()

        proxy.get_dbus_method(method, interface)(
            *args, signature=signature, reply_handler=on_reply, error_handler=on_failure, timeout=TIMEOUT)
        loop.run()
        if "error" in outcome:
            error = outcome["error"]
            raise BusTrouble("%s failed: %s: %s" % (method, error.get_dbus_name(), error.get_dbus_message()))
        return outcome["values"]

    def create(self):
        factory = self.bus.get_object(BUS_NAME, CLASS_PATH, introspect=False)
        try:
            (path,) = self._call(factory, CLASS_INTERFACE, "CreateObject")
        except BusTrouble as trouble:
            # The call reached a server as it handed its name to a new one:
            # the new one answers it.
            if "ORBANTIS.Error.ServerEnding" not in str(trouble):
                raise
            factory = self.bus.get_object(BUS_NAME, CLASS_PATH, introspect=False)
            (path,) = self._call(factory, CLASS_INTERFACE, "CreateObject")
        self.path = str(path)
        # get_object binds the proxy to the process that owns the name now,
        # the one that made the object.
        self.proxy = self.bus.get_object(BUS_NAME, self.path, introspect=False)
        return self.path

    def advise(self, on_error):
        # The events are signals sent to the sink's connection only.
        self.receiver = self.bus.add_signal_receiver(
            on_error, signal_name="ON_ERROR", dbus_interface=EVENTS, path=self.path)
        (cookie,) = self._call(self.proxy, AUTOMATION, "Advise")
        return int(cookie)

    def call(self, method, signature="", *args):
        return self._call(self.proxy, INTERFACE, method, signature, *args)

    def release(self):
        if self.proxy is None:
            return
        proxy, self.proxy = self.proxy, None
        if self.receiver is not None:
            self.receiver.remove()
            self.receiver = None
        self._call(proxy, AUTOMATION, "Release")


def on_error(code, message):
    print("event ON_ERROR %d %s" % (code, message), flush=True)


def show_failure(printer):
    (text,) = printer.call("GetLastErrorMessage")
    print("  error: %s" % (text or "(no text)"), flush=True)


def run_method(printer, method, signature="", *args):
    """Calls a method that returns only a result code; True when it is >= 0."""
    (result,) = printer.call(method, signature, *args)
    print("%s -> %d" % (method, result), flush=True)
    if result < 0:
        show_failure(printer)
        return False
    return True


def run_command(printer, method, values, answers):
    """Calls a printer command: its values, then one in-out string per answer,
    all of them strings; the reply is the result, then the answers."""
    args = list(values) + [""] * len(answers)
    reply = printer.call(method, "s" * len(args), *args)
    result = int(reply[0])
    print("%s -> %d" % (method, result), flush=True)
    for name, value in zip(answers, reply[1:]):
        print("  %s = %s" % (name, value), flush=True)
    if result < 0:
        show_failure(printer)
        return False
    return True


def main(argv):
    if len(argv) not in (2, 3) or argv[1] in ("-h", "--help"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    device = argv[1]
    try:
        baud = int(argv[2]) if len(argv) == 3 else 115200
    except ValueError:
        print("print_receipt.py: BAUD must be a number, not %r" % argv[2], file=sys.stderr)
        return 2

    DBusGMainLoop(set_as_default=True)
    try:
        bus = dbus.SessionBus()
    except dbus.exceptions.DBusException as e:
        print("print_receipt.py: no session bus: %s" % e.get_dbus_message(), file=sys.stderr)
        return 2

    printer = Kelmora(bus)
    status = 0
    try:
        print("object %s" % printer.create(), flush=True)
        print("sink cookie %d" % printer.advise(on_error), flush=True)

        if not run_method(printer, "initFiscalPrinterDevice", "sibb", device, baud, True, True):
            status = 1
        elif not run_method(printer, "CONNECT_TO_PRINTER"):
            status = 1
        else:
            for method, values, answers in RECEIPT:
                if not run_command(printer, method, values, answers):
                    # The rest of the receipt is not sent after a refused step.
                    status = 1
                    break
            if not run_method(printer, "CLOSE_CONNECTION"):
                status = 1

        printer.release()
        print("released", flush=True)
    except BusTrouble as e:
        print("print_receipt.py: %s" % e, file=sys.stderr)
        try:
            printer.release()
        except BusTrouble:
            pass  # the server releases the object when this program leaves the bus
        return 2
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
