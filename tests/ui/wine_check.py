"""dimmwand-ui.exe under wine, as the Windows stage of scripts/test runs it:
    DIMMWAND_UI="wine build-win/dimmwand-ui.exe" python3 tests/ui/wine_check.py
The page loads a dump in headless Chromium, and the door is locked."""
import sys
import unittest

from selenium.webdriver.common.by import By

from workbench import Workbench, browser, dump, wait_ready

DDR4 = dump('ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin')


class WineCheck(unittest.TestCase):
    def test_the_page_loads_a_dump_and_the_door_is_locked(self):
        wb = Workbench(DDR4)
        driver = browser()
        try:
            self.assertEqual(wb.request('/api/start', token=False)[0], 403)
            self.assertEqual(wb.request('/api/start', token='0' * 32)[0], 403)
            self.assertEqual(wb.request('/api/start', headers={'Host': f'evil.example:{wb.port}'})[0], 403)
            self.assertEqual(wb.request('/api/open', b'\0' * 512, headers={'Origin': 'http://evil.example'})[0], 403)
            driver.get(wb.url)
            wait_ready(driver, timeout=60)
            cells = driver.find_elements(By.CSS_SELECTOR, '#hex span.b')
            self.assertEqual(len(cells), 512)
            self.assertEqual(len(driver.find_elements(By.CSS_SELECTOR, '#hex span[data-crc="ok"]')), 4)
        finally:
            driver.quit()
            wb.stop()


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1])
