"""The README's pictures of the workbench, taken in headless Chromium on real dumps:
    python3 tests/ui/screenshots.py docs/images
The browser stage of scripts/test takes them too (into the build folder), so they keep working."""
import os
import shutil
import sys
import tempfile

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

from workbench import Emulator, Workbench, browser, dump, wait_ready

DDR5 = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin')
SIBLING = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eeff.bin')


def main(out):
    os.makedirs(out, exist_ok=True)
    module = os.path.join(tempfile.mkdtemp(prefix='dimmwand-shots-'), 'module.bin')
    shutil.copy(DDR5, module)
    emu = Emulator('--spd5', module)
    wb = Workbench('--programmer', emu.port, DDR5, SIBLING)
    driver = browser()
    try:
        driver.get(wb.url)
        wait_ready(driver)
        driver.find_element(By.CSS_SELECTOR, '#hex span[data-offset="20"]').click()
        driver.save_screenshot(os.path.join(out, 'workbench.png'))

        box = driver.find_element(By.CSS_SELECTOR, '#fields input[name="taa"]')
        box.send_keys(Keys.CONTROL, 'a')
        box.send_keys('16.250', Keys.ENTER)
        WebDriverWait(driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, '#hex span.edited'))
        driver.find_element(By.CSS_SELECTOR, '[data-action=write]').click()
        WebDriverWait(driver, 5).until(lambda d: d.find_element(By.ID, 'plan-text').text)
        driver.save_screenshot(os.path.join(out, 'workbench-write.png'))
        driver.find_element(By.CSS_SELECTOR, '[data-action=cancel-write]').click()

        driver.find_element(By.CSS_SELECTOR, '[data-action=undo]').click()
        driver.find_element(By.ID, 'compare-with').send_keys(os.path.basename(SIBLING))
        driver.find_element(By.CSS_SELECTOR, '[data-action=compare]').click()
        WebDriverWait(driver, 5).until(lambda d: d.find_element(By.ID, 'view-b').is_displayed())
        driver.find_element(By.ID, 'lang').send_keys('English')
        driver.save_screenshot(os.path.join(out, 'workbench-compare.png'))
    finally:
        driver.quit()
        wb.stop()
        emu.stop()
    print(f'screenshots in {out}')


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'docs/images')
