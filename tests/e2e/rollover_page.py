#!/usr/bin/python3
"""Opens a generated rollover page in headless Chromium, moves the pointer over
each piece and checks that it turns into its highlight twin and back.

Usage: rollover_page.py <page> <pieces.json>, which lists every piece: its
name in the page, normal and highlight file, size and the colour each shows.
"""

import io
import json
import os
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
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-dev-shm-usage",
                 "--force-device-scale-factor=1", "--window-size=800,700",
                 "--user-data-dir=" + profile):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(DRIVER), options=options)


def image_state(driver, name):
    return driver.execute_script(
        "const i = document.images[arguments[0]]; if (!i) return null;"
        "const r = i.getBoundingClientRect();"
        "return {src: i.src, complete: i.complete, w: i.naturalWidth, h: i.naturalHeight,"
        " x: r.left + r.width / 2, y: r.top + r.height / 2};", name)


def shows(driver, x, y, want):
    shot = Image.open(io.BytesIO(driver.get_screenshot_as_png())).convert("RGB")
    return all(abs(g - w) <= 24 for g, w in zip(shot.getpixel((int(x), int(y))), want))


def move_pointer(driver, x, y):
    actions = ActionBuilder(driver)
    actions.pointer_action.move_to_location(int(x), int(y))
    actions.perform()


def wait_for(driver, piece, which):
    """The piece's state once it shows `which` fully loaded, else as it is."""
    def shown(d):
        state = image_state(d, piece["name"])
        return state if state and state["src"] == piece[which] and state["complete"] else False
    try:
        state = WebDriverWait(driver, GUARD_SECONDS).until(shown)
    except Exception:
        state = image_state(driver, piece["name"])
    ok = bool(state) and state["src"] == piece[which] and state["complete"]
    check(ok and state["w"] == piece["width"] and state["h"] == piece["height"]
          and shows(driver, state["x"], state["y"], piece[which + "Colour"]),
          "%s shows %s, %d x %d, in its colour" % (piece["name"], piece[which], piece["width"], piece["height"]))
    return state if ok else None


def check_page(driver, page, pieces):
    driver.get("file://" + page)
    check(len(driver.find_elements("tag name", "img")) == len(pieces), "the page shows %d pieces" % len(pieces))
    away = (max(p["width"] for p in pieces) + 200, 5)
    move_pointer(driver, *away)
    for piece in pieces:
        normal = wait_for(driver, piece, "normal")
        if normal is None:
            continue
        move_pointer(driver, normal["x"], normal["y"])
        wait_for(driver, piece, "highlight")
        for other in pieces:
            if other is not piece:
                check(image_state(driver, other["name"])["src"] == other["normal"],
                      "%s stays normal while the pointer is over %s" % (other["name"], piece["name"]))
        move_pointer(driver, *away)
        wait_for(driver, piece, "normal")
    errors = [e["message"] for e in driver.get_log("browser") if e.get("level") == "SEVERE"]
    check(not errors, "the page's scripts ran without errors %s" % errors)


def main():
    page = sys.argv[1]
    with open(sys.argv[2], encoding="utf-8") as f:
        pieces = json.load(f)
    # The browser reports the pieces resolved against the page's address.
    for piece in pieces:
        for which in ("normal", "highlight"):
            piece[which] = "file://" + os.path.dirname(page) + "/" + piece[which]
    for tool in (CHROMIUM, DRIVER):
        if not os.access(tool, os.X_OK):
            print("missing %s: run scripts/install-deps" % tool)
            return 2
    with tempfile.TemporaryDirectory(prefix="kestrune-chromium-") as profile:
        driver = start_browser(profile)
        try:
            check_page(driver, page, pieces)
        finally:
            driver.quit()
    if failures:
        print("%d check(s) failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
