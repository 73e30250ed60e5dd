#!/usr/bin/python3
"""Opens a generated rollover page in headless Chromium, moves the pointer over
each piece and checks that it turns into its highlight twin and back, and that
the pieces abut at 100% and 150% zoom; a modern page also under keyboard focus,
touch and the accessibility tree.

Usage: rollover_page.py <page> <pieces.json> [modern CURRENT SCALE], which lists
every piece: its name in the page, files, size, colours, label and link.
"""

import io
import json
import os
import sys
import tempfile

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.keys import Keys
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


def near(got, want):
    return all(abs(g - w) <= 24 for g, w in zip(got, want))


def screenshot(driver):
    return Image.open(io.BytesIO(driver.get_screenshot_as_png())).convert("RGB")


def shows(driver, x, y, want):
    ratio = driver.execute_script("return devicePixelRatio")
    return near(screenshot(driver).getpixel((int(x * ratio), int(y * ratio))), want)


def eventually(driver, condition):
    try:
        return WebDriverWait(driver, GUARD_SECONDS).until(lambda d: condition())
    except Exception:
        return False


def set_ratio(driver, ratio):
    """Chromium zooms a page as it scales it for a denser screen."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 800, "height": 700, "deviceScaleFactor": ratio, "mobile": False})


def check_abut(driver):
    """No row of the white page shows down the pieces' middle."""
    driver.execute_script("document.activeElement.blur()")
    for ratio in (1, 1.5):
        set_ratio(driver, ratio)
        top, bottom = driver.execute_script("const i = document.querySelectorAll('img:not(.over)');"
                                            "return [i[0], i[i.length - 1]].map(e => e.getBoundingClientRect().toJSON())")
        shot, x = screenshot(driver), int((top["left"] + 5) * ratio)
        gaps = [y for y in range(int(top["top"] * ratio) + 1, int(bottom["bottom"] * ratio) - 1)
                if near(shot.getpixel((x, y)), (255, 255, 255))]
        check(not gaps, "the pieces abut at %d%% zoom (rows of page between them: %s)" % (ratio * 100, gaps[:5]))
    set_ratio(driver, 1)


def move_pointer(driver, x, y):
    actions = ActionBuilder(driver)
    actions.pointer_action.move_to_location(int(x), int(y))
    actions.perform()


def wait_for(driver, piece, which):
    """The piece's state once it shows `which` fully loaded, else None."""
    def loaded():
        state = image_state(driver, piece["name"])
        return state if state and state["src"] == piece[which] and state["complete"] else None
    state = eventually(driver, loaded)
    check(bool(state) and state["w"] == piece["width"] and state["h"] == piece["height"]
          and shows(driver, state["x"], state["y"], piece[which + "Colour"]),
          "%s shows %s, %d x %d, in its colour" % (piece["name"], piece[which], piece["width"], piece["height"]))
    return state or None


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
    check_abut(driver)


def check_modern(driver, page, pieces, current, scale):
    set_ratio(driver, scale)
    driver.get("file://" + page)
    eventually(driver, lambda: driver.execute_script("return [...document.images].every(i => i.complete)"))
    names = [n["name"]["value"] for n in driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
             if n.get("role", {}).get("value") == "link"]
    check(names == [p["label"] for p in pieces], "the links are named by their labels: %s" % names)
    for i, piece in enumerate(pieces):
        shown, lit = ("selected", "selected") if i + 1 == current else ("normal", "highlight")
        s = driver.execute_script("const i = document.querySelectorAll('nav a img:first-child')[arguments[0]],"
                                  " r = i.getBoundingClientRect(); return {src: i.currentSrc, w: i.naturalWidth,"
                                  " css: r.width, x: r.left + r.width / 2, y: r.top + r.height / 2};", i)
        check(s["src"] == piece[shown] and s["w"] == piece["width"] == s["css"] * scale
              and shows(driver, s["x"], s["y"], piece[shown + "Colour"]),
              "%s shows %s, %d pixels wide in %g CSS pixels" % (piece["label"], s["src"], s["w"], s["css"]))
        move_pointer(driver, s["x"], s["y"])
        check(eventually(driver, lambda: shows(driver, s["x"], s["y"], piece[lit + "Colour"])),
              "%s shows its %s piece under the pointer" % (piece["label"], lit))
        move_pointer(driver, 700, 5)
        ActionChains(driver).send_keys(Keys.TAB).perform()
        check(eventually(driver, lambda: shows(driver, s["x"], s["y"], piece[lit + "Colour"]))
              and driver.execute_script("return document.activeElement.href") == piece["link"],
              "%s shows its %s piece under keyboard focus" % (piece["label"], lit))
    check_abut(driver)
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 1})
    for kind, points in (("touchStart", [{"x": s["x"], "y": s["y"]}]), ("touchEnd", [])):
        driver.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})
    check(eventually(driver, lambda: driver.current_url == pieces[-1]["link"]),
          "a touch on %s follows its link: %s" % (pieces[-1]["label"], driver.current_url))


def main():
    page = sys.argv[1]
    with open(sys.argv[2], encoding="utf-8") as f:
        pieces = json.load(f)
    # The browser reports the pieces resolved against the page's address.
    for piece in pieces:
        for which in ("normal", "highlight", "selected", "link"):
            piece[which] = "file://" + os.path.dirname(page) + "/" + piece[which]
    for tool in (CHROMIUM, DRIVER):
        if not os.access(tool, os.X_OK):
            print("missing %s: run scripts/install-deps --test" % tool)
            return 2
    with tempfile.TemporaryDirectory(prefix="kestrune-chromium-") as profile:
        driver = start_browser(profile)
        try:
            if sys.argv[3:4] == ["modern"]:
                check_modern(driver, page, pieces, int(sys.argv[4]), int(sys.argv[5]))
            else:
                check_page(driver, page, pieces)
        finally:
            driver.quit()
    if failures:
        print("%d check(s) failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
