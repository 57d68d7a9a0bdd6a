"""The README's pictures of the workbench, taken in headless Chromium on real dumps, with the
emulator as the programmer:
    python3 tests/ui/screenshots.py docs/images
The browser stage of scripts/test takes them too (into the build folder), so they keep working."""
import os
import shutil
import sys
import tempfile

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

from workbench import Emulator, Workbench, browser, dump, status, wait_ready

DDR5 = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin')
SIBLING = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eeff.bin')
OTHER = dump('ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin')


def ended(wb):
    WebDriverWait(None, 30, poll_frequency=0.05).until(lambda _: not status(wb)['running'])


def click(driver, action):
    driver.find_element(By.CSS_SELECTOR, f'[data-action="{action}"]').click()


def plan(driver, wb, action='write'):
    click(driver, action)
    ended(wb)
    WebDriverWait(driver, 10).until(lambda d: d.find_elements(By.CSS_SELECTOR, '[data-plan]'))
    driver.execute_script('window.scrollTo(0, 0)')


def edit_taa(driver):
    box = driver.find_element(By.CSS_SELECTOR, '#fields input[name="taa"]')
    box.send_keys(Keys.CONTROL, 'a')
    box.send_keys('16.250', Keys.ENTER)
    WebDriverWait(driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, '#hex span.edited'))


def main(out):
    os.makedirs(out, exist_ok=True)
    folder = tempfile.mkdtemp(prefix='dimmwand-shots-')
    module, other = os.path.join(folder, 'module.bin'), os.path.join(folder, 'other.bin')
    shutil.copy(DDR5, module)
    shutil.copy(OTHER, other)
    # The line drops at the plan's 4 reads, the backup's 3 and the second byte of the write.
    emu = Emulator('--spd5', module, '--swap', other, '--hangup-after', '16')
    wb = Workbench('--programmer', emu.port, DDR5, SIBLING, backup_dir=os.path.join(folder, 'dimmwand-backups'))
    driver = browser()
    try:
        driver.get(wb.url)
        wait_ready(driver)
        driver.find_element(By.CSS_SELECTOR, '#hex span[data-offset="20"]').click()
        driver.save_screenshot(os.path.join(out, 'workbench.png'))

        driver.find_element(By.ID, 'compare-with').send_keys(os.path.basename(SIBLING))
        click(driver, 'compare')
        WebDriverWait(driver, 5).until(lambda d: d.find_element(By.ID, 'view-b').is_displayed())
        Select(driver.find_element(By.ID, 'lang')).select_by_value('en')
        driver.save_screenshot(os.path.join(out, 'workbench-compare.png'))
        Select(driver.find_element(By.ID, 'lang')).select_by_value('zh')

        # A laptop's screen: two images compared, and an edit's result in view.
        driver.set_window_size(1366, 768)
        edit_taa(driver)
        driver.save_screenshot(os.path.join(out, 'workbench-1366.png'))
        driver.set_window_size(1500, 1000)
        driver.get(wb.url)
        wait_ready(driver)
        edit_taa(driver)
        plan(driver, wb)
        driver.save_screenshot(os.path.join(out, 'workbench-write.png'))
        click(driver, 'cancel-write')

        emu.swap()
        plan(driver, wb)
        driver.save_screenshot(os.path.join(out, 'workbench-clone.png'))
        click(driver, 'cancel-write')
        emu.swap()

        plan(driver, wb)
        click(driver, 'confirm-write')
        ended(wb)
        WebDriverWait(driver, 10).until(lambda d: d.find_elements(By.CSS_SELECTOR, '[data-action=restore]'))
        driver.execute_script('window.scrollTo(0, 0)')
        driver.save_screenshot(os.path.join(out, 'workbench-restore.png'))


    finally:
        driver.quit()
        wb.stop()
        emu.stop()
    print(f'screenshots in {out}')


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'docs/images')
