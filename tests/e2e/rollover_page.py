#!/usr/bin/python3
"""Opens a generated rollover page in headless Chromium, moves the pointer over
each piece and checks that the piece turns into its highlight twin and back
into the normal piece when the pointer leaves.

Usage: rollover_page.py <expected.json>
The JSON names the page and lists every piece: its page name, the file of its
normal and highlight piece, its size and the colour each piece shows.
"""

import io
import json
import os
import shutil
import sys
import tempfile

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"
# Guards against a hung browser only; every wait ends as soon as the page is
# in the state looked for.
GUARD_SECONDS = 20
TOLERANCE = 24

failures = []


def check(condition, what):
    if condition:
        print("ok   " + what, flush=True)
    else:
        print("FAIL " + what, flush=True)
        failures.append(what)


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu",
                 "--disable-background-networking", "--disable-component-update",
                 "--no-first-run", "--disable-sync", "--disable-dev-shm-usage",
                 "--force-device-scale-factor=1", "--window-size=800,700",
                 "--user-data-dir=" + profile):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(DRIVER), options=options)


def image_state(driver, name):
    return driver.execute_script(
        "const i = document.images[arguments[0]];"
        "if (!i) return null;"
        "const r = i.getBoundingClientRect();"
        "return {src: i.src, complete: i.complete,"
        " naturalWidth: i.naturalWidth, naturalHeight: i.naturalHeight,"
        " x: r.left, y: r.top, width: r.width, height: r.height};", name)


def pixel(driver, x, y):
    shot = Image.open(io.BytesIO(driver.get_screenshot_as_png())).convert("RGB")
    return shot.getpixel((int(x), int(y)))


def near(got, want):
    return all(abs(g - w) <= TOLERANCE for g, w in zip(got, want))


def move_pointer(driver, x, y):
    actions = ActionBuilder(driver)
    actions.pointer_action.move_to_location(int(x), int(y))
    actions.perform()


def wait_for(driver, name, src):
    def shown(d):
        state = image_state(d, name)
        return state if state and state["src"] == src and state["complete"] else False
    try:
        return WebDriverWait(driver, GUARD_SECONDS).until(shown)
    except Exception:
        return image_state(driver, name)


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        expected = json.load(f)
    # The page names its pieces relative to itself; the browser reports them
    # resolved against the page's address.
    folder = "file://" + os.path.dirname(expected["page"]) + "/"
    for piece in expected["pieces"]:
        piece["normal"] = folder + piece["normal"]
        piece["highlight"] = folder + piece["highlight"]
    for tool in (CHROMIUM, DRIVER):
        if not os.access(tool, os.X_OK):
            print("missing %s: run scripts/install-deps" % tool)
            return 2

    profile = tempfile.mkdtemp(prefix="kestrune-chromium-")
    driver = start_browser(profile)
    try:
        driver.get("file://" + expected["page"])
        pieces = expected["pieces"]
        check(len(driver.find_elements("tag name", "img")) == len(pieces),
              "the page shows %d pieces" % len(pieces))
        away = (max(p["width"] for p in pieces) + 200, 5)
        move_pointer(driver, *away)

        for piece in pieces:
            name = piece["name"]
            normal = wait_for(driver, name, piece["normal"])
            check(normal is not None and normal["src"] == piece["normal"] and normal["complete"],
                  "%s starts as %s" % (name, piece["normal"]))
            if normal is None:
                continue
            check(normal["naturalWidth"] == piece["width"] and normal["naturalHeight"] == piece["height"],
                  "%s is %d x %d" % (name, piece["width"], piece["height"]))
            cx = normal["x"] + normal["width"] / 2
            cy = normal["y"] + normal["height"] / 2
            check(near(pixel(driver, cx, cy), piece["normalColour"]),
                  "%s shows the normal piece's colour" % name)

            move_pointer(driver, cx, cy)
            lit = wait_for(driver, name, piece["highlight"])
            check(lit["src"] == piece["highlight"] and lit["complete"],
                  "pointer over %s shows %s" % (name, piece["highlight"]))
            check(lit["naturalWidth"] == piece["width"] and lit["naturalHeight"] == piece["height"],
                  "%s's highlight piece is %d x %d" % (name, piece["width"], piece["height"]))
            check(near(pixel(driver, cx, cy), piece["highlightColour"]),
                  "%s shows the highlight piece's colour under the pointer" % name)
            for other in pieces:
                if other is not piece:
                    check(image_state(driver, other["name"])["src"] == other["normal"],
                          "%s stays normal while the pointer is over %s" % (other["name"], name))

            move_pointer(driver, *away)
            back = wait_for(driver, name, piece["normal"])
            check(back["src"] == piece["normal"] and back["complete"],
                  "pointer leaving %s shows %s again" % (name, piece["normal"]))
            check(near(pixel(driver, cx, cy), piece["normalColour"]),
                  "%s shows the normal piece's colour again" % name)
        check(driver.current_url == "file://" + expected["page"], "hovering does not leave the page")
        errors = [entry["message"] for entry in driver.get_log("browser")
                  if entry.get("level") == "SEVERE"]
        check(not errors, "the page's scripts ran without errors %s" % errors)
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)

    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
