"""The status page of patmon serve in a real headless Chromium: the cards
appear with the right label for three printers of different scenarios, and
a card follows its printer when the printer changes state."""
import json
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(__file__))
from serve_support import (Processes, expected_status, start_serve, start_simulate, temp_dir,  # noqa: E402
                           write_config)

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

PATMON = sys.argv[1]
SCREENSHOT = sys.argv[2] if len(sys.argv) > 2 else None  # where to save a picture of the page


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run", "--no-proxy-server",
                 "--disable-dev-shm-usage", f"--user-data-dir={profile}", "--window-size=1000,900"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def card_text(driver, name, part):
    found = driver.find_elements(By.CSS_SELECTOR, f'.card[data-printer="{name}"] .{part}')
    return found[0].text if found else None


def main():
    processes = Processes()
    driver = None
    with temp_dir() as directory:
        try:
            scenarios = {"front-desk": "ready", "finance": "toner-out", "warehouse": "cover-open"}
            printers = []
            for name, scenario in scenarios.items():
                # A scenario file, so the test can change the printer's state.
                path = os.path.join(directory, name + ".json")
                with open(path, "w") as f:
                    json.dump({"base": scenario}, f)
                port, snmp = start_simulate(processes, PATMON, path)
                printers.append({"name": name, "target": f"tcp://127.0.0.1:{port}", "snmp": f"127.0.0.1:{snmp}",
                                 "interval": 1, "timeout": 2})
            base = start_serve(processes, PATMON, write_config(directory, printers))

            driver = browser(tempfile.mkdtemp(dir=directory, prefix="chromium-"))
            driver.get(base + "/")
            wait = WebDriverWait(driver, 30, poll_frequency=0.2)
            for name, scenario in scenarios.items():
                label, message = expected_status(PATMON, scenario)
                wait.until(lambda d: card_text(d, name, "label") == label,
                           f"{name} ({scenario}) should show {label!r}")
                assert card_text(driver, name, "message").split() == message.split()
                print(f"card {name}: {label!r} as patmon poll shows {scenario}")
            assert len(driver.find_elements(By.CSS_SELECTOR, ".card")) == 3
            # Coloured by severity, the most urgent first, and counted in the header.
            severity = {"front-desk": "ok", "finance": "critical", "warehouse": "critical"}
            for name, expected in severity.items():
                classes = driver.find_element(By.CSS_SELECTOR, f'.card[data-printer="{name}"]').get_attribute("class")
                assert expected in classes.split(), (name, classes)
            order = [c.get_attribute("data-printer") for c in driver.find_elements(By.CSS_SELECTOR, ".card")]
            assert order == ["finance", "warehouse", "front-desk"], order
            wait.until(lambda d: "2 of 3 printers need attention" in d.find_element(By.ID, "summary").text)
            # The filter box leaves only the matching cards.
            driver.find_element(By.ID, "filter").send_keys("ware")
            visible = [c.get_attribute("data-printer") for c in driver.find_elements(By.CSS_SELECTOR, ".card")
                       if c.is_displayed()]
            assert visible == ["warehouse"], visible
            driver.find_element(By.ID, "filter").clear()
            driver.execute_script("document.getElementById('filter').dispatchEvent(new Event('input'))")
            print("cards coloured by severity, most urgent first, counted, filtered")
            # Each printer's supplies from its MIB as bars: the run-out toners empty.
            wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, '.card[data-printer="finance"] .bar')) == 6,
                       "the finance card should show six supply bars")
            empty = driver.find_elements(By.CSS_SELECTOR, '.card[data-printer="finance"] .bar.empty')
            assert len(empty) == 4, len(empty)
            print("supply bars: four empty toners on the finance card")
            # Every picture loaded from the service (no external assets).
            wait.until(lambda d: all(d.execute_script("return arguments[0].complete && arguments[0].naturalWidth", i)
                                     == 320 for i in d.find_elements(By.CSS_SELECTOR, ".card img")))
            if SCREENSHOT:
                driver.save_screenshot(SCREENSHOT)

            # The front desk's cover opens: its card follows without a reload.
            marker = driver.execute_script("window.notReloaded = true; return 1")
            old_picture = driver.find_element(By.CSS_SELECTOR, '.card[data-printer="front-desk"] img').get_attribute("src")
            path = os.path.join(directory, "front-desk.json")
            with open(path, "w") as f:
                json.dump({"base": "paper-jam"}, f)
            os.utime(path, (os.path.getatime(path), os.path.getmtime(path) + 2))
            label, _ = expected_status(PATMON, "paper-jam")
            wait.until(lambda d: card_text(d, "front-desk", "label") == label, "the card should follow the printer")
            wait.until(lambda d: d.find_element(By.CSS_SELECTOR, '.card[data-printer="front-desk"] img')
                       .get_attribute("src") != old_picture, "the picture should change")
            assert marker == 1 and driver.execute_script("return window.notReloaded") is True
            print(f"card front-desk changed to {label!r} without a reload")

            # Narrow screens get one column of cards that fit.
            driver.set_window_size(390, 844)
            width = driver.execute_script("return document.documentElement.scrollWidth")
            viewport = driver.execute_script("return window.innerWidth")
            assert width <= viewport, (width, viewport)
        finally:
            if driver is not None:
                driver.quit()
            processes.stop_all()
        processes.check_clean_exit()
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
