#!/usr/bin/python3
"""Drives the page of orbantis-http in a headless Chromium, as the person at the till would.

Usage: check_page.py BASE_URL SCREENSHOT_DIR

BASE_URL is a running orbantis-http (e.g. http://127.0.0.1:8001) whose
config has one printer, p1, on the software printer, and no token. The run
prints a test receipt, an X and a Z report, books cash in and sends a logo:
the software printer's day changes, so give it a fresh one.

Needs Debian's python3-selenium, chromium and chromium-driver. Run with
/usr/bin/python3: the Debian module is not on other interpreters' path.

Prints one line per check, then "N passed, M failed"; takes printers.png,
receipts.png, actions.png, logo.png and error.png into SCREENSHOT_DIR (and
failure.png when a check fails). Exit status 1 when a check failed, 2 on
bad usage, else 0.
"""

import datetime
import json
import os
import shutil
import struct
import sys
import tempfile

try:
    from selenium import webdriver
    from selenium.common.exceptions import TimeoutException, WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support import expected_conditions
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    sys.stderr.write("check_page.py: the Python module selenium is missing (Debian: python3-selenium; "
                     "run with /usr/bin/python3).\n")
    sys.exit(2)

WAIT_SECONDS = 20
PRINTER = "p1"
# More than any drawer holds: the printer must refuse to pay it out.
HUGE_AMOUNT = "99999999.99"

# Installed before the page's own script runs: every fetch the page makes is
# recorded with its answer, so the checks can say what was sent (a dismissed
# Z report sends nothing) and compare the page's words with the service's.
RECORDER = r"""
window.__sent = [];
window.__pageErrors = [];
addEventListener('error', (e) => window.__pageErrors.push(String(e.message)));
addEventListener('unhandledrejection', (e) => window.__pageErrors.push(String(e.reason)));
const pageFetch = window.fetch;
window.fetch = async function (input, init) {
  const entry = { method: (init && init.method) || 'GET', url: String(input),
                  headers: Object.assign({}, init && init.headers) };
  window.__sent.push(entry);
  const res = await pageFetch.apply(this, arguments);
  entry.status = res.status;
  if ((res.headers.get('Content-Type') || '').includes('json')) entry.body = await res.clone().text();
  return res;
};
"""


class CheckFailed(Exception):
    pass


class Run:
    def __init__(self, driver, base, shots):
        self.driver = driver
        self.base = base
        self.shots = shots
        self.passed = 0

    # ------------------------------------------------------------ helpers

    def ok(self, what):
        self.passed += 1
        print("ok    " + what)

    def messages(self):
        try:
            return " | ".join(m.text.replace("\n", " ") for m in self.driver.find_elements(By.CSS_SELECTOR, "#messages .msg"))
        except WebDriverException:
            return "?"

    def wait(self, what, condition):
        """Waits for condition(driver) to give a true value and returns it."""
        try:
            return WebDriverWait(self.driver, WAIT_SECONDS).until(lambda d: condition(d))
        except TimeoutException:
            raise CheckFailed("%s: not seen within %d s. Messages on the page: %s"
                              % (what, WAIT_SECONDS, self.messages() or "none"))

    def expect(self, condition, what):
        if not condition:
            raise CheckFailed(what)

    def one(self, css):
        found = self.driver.find_elements(By.CSS_SELECTOR, css)
        return found[0] if found else None

    def message(self, what, kind=None):
        """The newest message about `what` (optionally of one kind), or None."""
        css = '#messages .msg[data-what="%s"]' % what + ('[data-kind="%s"]' % kind if kind else "")
        return self.one(css)

    def wait_message(self, what, since):
        """Waits for a message about `what` newer than the count `since` of all messages."""
        def newer(d):
            items = d.find_elements(By.CSS_SELECTOR, "#messages .msg")
            fresh = items[:len(items) - since]  # the newest come first
            return next((m for m in fresh if m.get_attribute("data-what") == what), None)
        return self.wait("a message about " + what, newer)

    def count_messages(self):
        return len(self.driver.find_elements(By.CSS_SELECTOR, "#messages .msg"))

    def sent(self, method, tail):
        return [e for e in self.driver.execute_script("return window.__sent")
                if e["method"] == method and e["url"].split("?")[0].endswith(tail)]

    def tab(self, view):
        self.driver.find_element(By.ID, "tab-" + view).click()
        self.wait("the %s view shown" % view, lambda d: d.find_element(By.ID, view).is_displayed())

    def shot(self, name):
        self.driver.save_screenshot(os.path.join(self.shots, name))

    # ------------------------------------------------------------ the checks

    def printers(self):
        self.driver.get(self.base + "/")
        entry = self.wait("printer %s in the list" % PRINTER,
                          lambda d: self.one('#printer-list button[data-id="%s"]' % PRINTER))
        self.expect(entry.get_attribute("data-state") in ("idle", "busy"),
                    "printer %s is listed as %r, not ready" % (PRINTER, entry.get_attribute("data-state")))
        self.expect(PRINTER in entry.text, "the printer's button does not name it: %r" % entry.text)
        self.wait("the status of %s" % PRINTER,
                  lambda d: d.find_element(By.ID, "status").get_attribute("data-printer") == PRINTER)
        self.wait("the details of %s" % PRINTER,
                  lambda d: d.find_element(By.ID, "identity").get_attribute("data-printer") == PRINTER)

        # What the page shows is what the service answered, bit for bit.
        answers = self.sent("GET", "/printers/%s/status" % PRINTER)
        self.expect(answers and answers[-1].get("status") == 200, "the status call did not answer 200: %r" % answers)
        status = json.loads(answers[-1]["body"])
        paper = self.driver.find_element(By.ID, "status-paper").text
        self.expect(paper == status["paper"], "paper shown as %r, the service says %r" % (paper, status["paper"]))
        receipt = self.driver.find_element(By.ID, "status-receipt").text
        self.expect(receipt.startswith("yes" if status["receiptOpen"] else "no"),
                    "receipt open shown as %r, the service says %r" % (receipt, status["receiptOpen"]))
        shown = [li.text for li in self.driver.find_elements(By.CSS_SELECTOR, "#status-bits li")]
        self.expect(len(shown) == len(status["bits"]), "%d status bits shown, the service sets %d: %r"
                    % (len(shown), len(status["bits"]), shown))
        for bit, text in zip(status["bits"], shown):
            self.expect(text.startswith(bit["text"]), "status bit %r shown as %r" % (bit["text"], text))
        serial = self.driver.find_element(By.ID, "identity-serial").text
        self.expect(serial.strip() != "", "the printer's serial number is not shown")
        self.shot("printers.png")
        self.ok("printers: %s listed, status (%d bits, paper %s) and serial %s shown"
                % (PRINTER, len(shown), paper, serial))

    def receipt(self):
        self.tab("actions")
        since = self.count_messages()
        self.driver.find_element(By.ID, "btn-test-receipt").click()
        msg = self.wait_message("receipt", since)
        self.expect(msg.get_attribute("data-kind") == "ok", "the test receipt did not print: %s" % msg.text)
        self.expect(" printed" in msg.text and "total 1.00" in msg.text,
                    "the success message does not say printed, total 1.00: %r" % msg.text)
        key = msg.get_attribute("data-key")
        number = msg.get_attribute("data-receipt-number")
        posts = self.sent("POST", "/printers/%s/receipt" % PRINTER)
        self.expect(len(posts) == 1, "%d receipt posts for one click" % len(posts))
        self.expect(posts[0]["headers"].get("Idempotency-Key") == key,
                    "Idempotency-Key %r is not the document's key %r" % (posts[0]["headers"].get("Idempotency-Key"), key))
        self.ok("receipt: printed, number %s, key %s" % (number, key))

        self.tab("receipts")
        day = self.driver.find_element(By.ID, "receipt-day").get_attribute("value")
        self.expect(day == datetime.date.today().isoformat(), "the day shown is %r, not today" % day)
        row = self.wait("receipt %s in the day's list" % key,
                        lambda d: self.one('#receipt-table tbody tr[data-key="%s"]' % key))
        cells = [td.text for td in row.find_elements(By.TAG_NAME, "td")]
        self.expect(row.get_attribute("data-state") == "printed", "the receipt is listed as %r" % cells)
        self.expect(cells[2] == number and cells[3] == "1.00",
                    "the receipt's number or total in the list is wrong: %r (number %s)" % (cells, number))
        self.expect(cells[4].strip() != "", "the receipt's time is empty: %r" % cells)
        self.shot("receipts.png")
        self.ok("receipts: listed for today as printed, number %s, total 1.00" % number)

    def reports(self):
        self.tab("actions")
        since = self.count_messages()
        self.driver.find_element(By.ID, "btn-xreport").click()
        msg = self.wait_message("xreport", since)
        self.expect(msg.get_attribute("data-kind") == "ok", "the X report failed: %s" % msg.text)
        self.ok("X report: %s" % msg.text.replace("\n", " "))

        since = self.count_messages()
        self.driver.find_element(By.ID, "btn-zreport").click()
        self.wait("the Z report's question", expected_conditions.alert_is_present())
        self.driver.switch_to.alert.dismiss()
        # confirm() returned before the click handler ended, so anything it
        # would send has been handed to fetch by now.
        self.expect(not self.sent("POST", "/zreport"), "a dismissed Z report was sent")
        self.expect(self.message("zreport") is None, "a dismissed Z report is reported: %s" % self.messages())
        self.expect(self.count_messages() == since, "dismissing the Z report added a message: %s" % self.messages())
        self.ok("Z report dismissed: nothing sent, nothing reported")

        self.driver.find_element(By.ID, "btn-zreport").click()
        self.wait("the Z report's question", expected_conditions.alert_is_present())
        self.driver.switch_to.alert.accept()
        msg = self.wait_message("zreport", since)
        self.expect(msg.get_attribute("data-kind") == "ok", "the Z report failed: %s" % msg.text)
        self.expect("closure" in msg.text, "the Z report's message names no closure: %r" % msg.text)
        self.expect(len(self.sent("POST", "/zreport")) == 1, "the Z report was sent %d times"
                    % len(self.sent("POST", "/zreport")))
        self.ok("Z report accepted: %s" % msg.text.replace("\n", " "))

    def cash_in(self):
        amount = self.driver.find_element(By.ID, "cash-amount")
        amount.clear()
        amount.send_keys("10.00")
        since = self.count_messages()
        self.driver.find_element(By.ID, "btn-cash-in").click()
        msg = self.wait_message("cash-in", since)
        self.expect(msg.get_attribute("data-kind") == "ok" and "10.00" in msg.text,
                    "cash in of 10.00 not booked: %s" % msg.text)
        body = json.loads(self.sent("POST", "/printers/%s/cash" % PRINTER)[-1]["body"])
        self.expect(body.get("done") is True, "the service's answer to cash in: %r" % body)
        self.shot("actions.png")
        self.ok("cash in: %s" % msg.text.replace("\n", " "))

    def logo(self, folder):
        # Black in the top left corner only, white elsewhere: a picture shown
        # mirrored, upside down or inverted fails the pixel checks below.
        path = os.path.join(folder, "logo.bmp")
        with open(path, "wb") as f:
            f.write(bmp_576x96(lambda x, y: x < 144 and y < 48))
        self.tab("logo")
        before = self.driver.find_element(By.ID, "logo-img").get_attribute("src") or ""
        self.driver.find_element(By.ID, "logo-file").send_keys(path)
        since = self.count_messages()
        self.driver.find_element(By.ID, "btn-logo-upload").click()
        msg = self.wait_message("logo-upload", since)
        self.expect(msg.get_attribute("data-kind") == "ok", "the logo was not taken: %s" % msg.text)
        put = self.sent("PUT", "/printers/%s/logo" % PRINTER)[-1]
        self.expect(put["headers"].get("Content-Type") in ("image/bmp", "application/octet-stream"),
                    "the logo went as %r" % put["headers"].get("Content-Type"))
        self.wait("the new logo in the preview", lambda d: d.execute_script(
            "const i = document.getElementById('logo-img');"
            "return i.src !== arguments[0] && i.src.startsWith('blob:') && i.complete && i.naturalWidth > 0;", before))
        size = self.driver.execute_script(
            "const i = document.getElementById('logo-img'); return [i.naturalWidth, i.naturalHeight];")
        self.expect(size == [576, 96], "the preview is %r, not 576 x 96" % size)
        dots = self.driver.execute_script(
            "const i = document.getElementById('logo-img'), c = document.createElement('canvas');"
            "c.width = 576; c.height = 96; const g = c.getContext('2d'); g.drawImage(i, 0, 0);"
            "return arguments[0].map(([x, y]) => g.getImageData(x, y, 1, 1).data[1]);",
            [[20, 20], [20, 80], [400, 20], [400, 80]])
        self.expect(dots[0] < 64 and min(dots[1:]) > 192,
                    "the preview is not the picture sent (green at corners: %r)" % dots)
        link = self.driver.find_element(By.ID, "logo-download")
        self.expect(link.is_displayed() and link.get_attribute("download")
                    and link.get_attribute("href") == self.driver.find_element(By.ID, "logo-img").get_attribute("src"),
                    "the download link does not offer the logo shown")
        self.shot("logo.png")
        self.ok("logo: sent, preview reloaded at 576 x 96 showing the picture sent, download offered")

    def error(self):
        self.tab("actions")
        amount = self.driver.find_element(By.ID, "cash-amount")
        amount.clear()
        amount.send_keys(HUGE_AMOUNT)
        since = self.count_messages()
        self.driver.find_element(By.ID, "btn-cash-out").click()
        msg = self.wait_message("cash-out", since)
        self.expect(msg.get_attribute("data-kind") == "error", "a cash out of %s was not refused: %s"
                    % (HUGE_AMOUNT, msg.text))
        answer = self.sent("POST", "/printers/%s/cash" % PRINTER)[-1]
        body = json.loads(answer.get("body") or "null") or {}
        if 200 <= answer["status"] < 300:
            self.expect(body.get("done") is False, "the service booked a cash out of %s: %r" % (HUGE_AMOUNT, body))
            self.expect("refused" in msg.text, "the refusal is not told: %r" % msg.text)
        else:
            # An error answer is shown with the service's own words.
            text = msg.find_element(By.CLASS_NAME, "msg-text").text
            self.expect(text == body.get("text"), "error text shown %r, the service said %r" % (text, body.get("text")))
            self.expect(("code %s" % body.get("code")) in msg.text, "the error's code %r is not shown: %r"
                        % (body.get("code"), msg.text))
            if body.get("field"):
                self.expect(("field %s" % body["field"]) in msg.text, "the error's field %r is not shown: %r"
                            % (body["field"], msg.text))
        self.shot("error.png")
        self.ok("error: cash out of %s refused (HTTP %s), shown as %r"
                % (HUGE_AMOUNT, answer["status"], msg.text.replace("\n", " ")))

    def no_page_errors(self):
        errors = self.driver.execute_script("return window.__pageErrors")
        self.expect(not errors, "the page's script failed: %r" % errors)
        self.ok("no script errors on the page")


def bmp_576x96(black):
    """A 24-bit BMP of 576 x 96 dots; black(x, y) with y counted from the top."""
    width, height = 576, 96
    row_size = width * 3  # already a multiple of 4: no padding
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # BMP rows go bottom up
        pixels += b"".join(b"\0\0\0" if black(x, y) else b"\xff\xff\xff" for x in range(width))
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, row_size * height, 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1200,1000", "--user-data-dir=" + profile):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service(executable_path="/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": RECORDER})
    return driver


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: check_page.py BASE_URL SCREENSHOT_DIR\n")
        return 2
    base, shots = argv[1].rstrip("/"), argv[2]
    os.makedirs(shots, exist_ok=True)
    folder = tempfile.mkdtemp(prefix="check_page-")
    driver = None
    run = None
    failed = 0
    try:
        driver = start_browser(os.path.join(folder, "profile"))
        run = Run(driver, base, shots)
        run.printers()
        run.receipt()
        run.reports()
        run.cash_in()
        run.logo(folder)
        run.error()
        run.no_page_errors()
    except (CheckFailed, WebDriverException) as e:
        failed = 1
        # WebDriver's own stack trace says nothing about the page: its message does.
        print("FAIL  " + (str(e) if isinstance(e, CheckFailed) else "the browser: %s" % (e.msg or e)).strip())
        if driver is not None:
            try:
                driver.save_screenshot(os.path.join(shots, "failure.png"))
            except WebDriverException:
                pass
    finally:
        if driver is not None:
            driver.quit()
        shutil.rmtree(folder, ignore_errors=True)
    print("%d passed, %d failed" % (run.passed if run else 0, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
