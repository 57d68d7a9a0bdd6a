"""The page in headless Chromium: a real dump's coloured cells and checksum states, an edit that
changes exactly its bytes and checksums, a refused value, undo, download byte for byte, and two
sibling dumps compared."""
import os
import subprocess
import tempfile
import time
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import WebDriverWait

from workbench import BUILD, Workbench, browser, dump, wait_ready

DDR5 = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin')
SIBLING = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eeff.bin')
DDR4 = dump('ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin')
DDR3 = dump('ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin')


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def cells(driver, view='#hex'):
    """The bytes the view shows, by data-offset."""
    script = f"""return Array.from(document.querySelectorAll('{view} span.b')).map(e =>
        [Number(e.dataset.offset), parseInt(e.textContent, 16), e.dataset.field || '', e.dataset.crc || '',
         e.hasAttribute('data-diff')]);"""
    return driver.execute_script(script)


def shown_bytes(driver, view='#hex'):
    return bytes(v for _, v, _, _, _ in sorted(cells(driver, view)))


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.downloads = tempfile.mkdtemp(prefix='dimmwand-ui-downloads-')
        cls.wb = Workbench(DDR5, SIBLING, DDR4)
        cls.driver = browser(cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.wb.stop()

    def setUp(self):
        self.driver.get(self.wb.url)
        wait_ready(self.driver)

    def field_input(self, key):
        return self.driver.find_element(By.CSS_SELECTOR, f'#fields input[name="{key}"]')

    def set_field(self, key, value):
        before = self.driver.execute_script('return document.querySelector("#hex").innerHTML')
        box = self.field_input(key)
        # Selected and typed over, as a user does: clear() would fire a change of its own.
        box.send_keys(Keys.CONTROL, 'a')
        box.send_keys(value, Keys.ENTER)
        WebDriverWait(self.driver, 5).until(
            lambda d: d.execute_script('return document.querySelector("#hex").innerHTML') != before or
            d.find_element(By.ID, 'message').get_attribute('class') == 'refused')

    def settable_offsets(self, key):
        return set(self.driver.execute_script(
            f'return state.docs[state.current].analysis.settables.find(s => s.key === "{key}").offsets'))

    def test_every_byte_is_a_cell_with_its_field_and_the_checksums_hold(self):
        for name, path, n in (('DDR5', DDR5, 1024), ('DDR4', DDR4, 512)):
            with self.subTest(name):
                if path == DDR4:
                    self.driver.execute_script('state.current = 2; render();')
                c = cells(self.driver)
                self.assertEqual(len(c), n)
                self.assertEqual(shown_bytes(self.driver), read(path))
                crc = [o for o, _, _, state, _ in c if state]
                self.assertTrue(crc)
                self.assertTrue(all(state == 'ok' for _, _, _, state, _ in c if state))
                fields = {o: f for o, _, f, _, _ in c}
                # The memory type byte is the key byte of every generation's layout.
                self.assertTrue(fields[2])
                tck = self.settable_offsets('tck')
                self.assertTrue(all(fields[o] == 'tck' for o in tck))

    def test_a_broken_checksum_is_red(self):
        data = bytearray(read(DDR3))
        data[20] ^= 0x01
        broken = os.path.join(self.downloads, 'broken.bin')
        with open(broken, 'wb') as f:
            f.write(data)
        self.driver.find_element(By.ID, 'file-input').send_keys(broken)
        WebDriverWait(self.driver, 5).until(lambda d: len(cells(d)) == 256)
        bad = [o for o, _, _, state, _ in cells(self.driver) if state == 'bad']
        self.assertEqual(bad, [126, 127])
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=fix]').click()
        WebDriverWait(self.driver, 5).until(lambda d: not [o for o, _, _, state, _ in cells(d) if state == 'bad'])
        self.assertEqual(shown_bytes(self.driver)[:126], bytes(data[:126]))

    def test_an_edit_changes_exactly_its_bytes_and_checksums_then_undo_and_download(self):
        original = shown_bytes(self.driver)
        self.set_field('taa', '16.250')
        edited = shown_bytes(self.driver)
        changed = {i for i in range(len(original)) if original[i] != edited[i]}
        self.assertTrue(changed)
        self.assertLessEqual(changed, self.settable_offsets('taa') | {510, 511})
        self.assertTrue(changed & {510, 511})
        self.assertTrue(all(state == 'ok' for _, _, _, state, _ in cells(self.driver) if state))
        self.assertEqual(self.field_input('taa').get_attribute('value'), '16.250')
        marked = self.driver.execute_script(
            'return Array.from(document.querySelectorAll("#hex span.edited")).map(e => Number(e.dataset.offset))')
        self.assertEqual(set(marked), changed)
        self.assertIn('→', self.driver.find_element(By.ID, 'message').text)
        # The console's set makes the same image.
        oracle = os.path.join(self.downloads, 'oracle.bin')
        subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), 'set', '-o', oracle, '--force', DDR5, 'taa=16.250'],
                       check=True, capture_output=True)
        self.assertEqual(edited, read(oracle))
        target = os.path.join(self.downloads, os.path.basename(DDR5).replace('.bin', '-edited.bin'))
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=download]').click()
        WebDriverWait(self.driver, 10).until(lambda d: os.path.exists(target) and os.path.getsize(target) == 1024)
        self.assertEqual(read(target), read(oracle))
        os.remove(target)
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=undo]').click()
        WebDriverWait(self.driver, 5).until(lambda d: shown_bytes(d) == original)
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=redo]').click()
        WebDriverWait(self.driver, 5).until(lambda d: shown_bytes(d) == edited)

    def test_a_value_that_cannot_be_stored_is_refused_with_the_nearest(self):
        original = shown_bytes(self.driver)
        value = self.field_input('taa').get_attribute('value')
        self.set_field('taa', '16.2505')
        refusal = self.driver.execute_script(
            'return document.querySelector(\'#fields input[name="taa"]\').parentElement.querySelector(".refusal").textContent')
        self.assertIn('最接近的可存值为 16.250', refusal)
        self.assertEqual(shown_bytes(self.driver), original)
        self.assertEqual(self.field_input('taa').get_attribute('value'), value)
        self.assertFalse(self.driver.find_elements(By.CSS_SELECTOR, '#hex span.edited'))

    def test_two_sibling_dumps_compared(self):
        select = self.driver.find_element(By.ID, 'compare-with')
        select.send_keys(os.path.basename(SIBLING))
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=compare]').click()
        WebDriverWait(self.driver, 5).until(lambda d: d.find_element(By.ID, 'view-b').is_displayed())
        a, b = read(DDR5), read(SIBLING)
        differing = {i for i in range(1024) if a[i] != b[i]}
        self.assertTrue(differing)
        for view in ('#hex', '#hex-b'):
            marked = {o for o, _, _, _, diff in cells(self.driver, view) if diff}
            self.assertEqual(marked, differing, view)
        self.assertEqual(shown_bytes(self.driver, '#hex-b'), b)
        listing = self.driver.find_element(By.ID, 'diff').text
        expected = subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), 'diff', DDR5, SIBLING], capture_output=True,
                                  text=True).stdout
        for line in expected.splitlines()[:-1]:
            fields = line.split('(')[1].split(')')[0] if '(' in line else ''
            if fields:
                self.assertIn(fields, listing)

    def test_the_text_dump_download_reads_back_as_the_image(self):
        self.driver.find_element(By.ID, 'as-text').click()
        target = os.path.join(self.downloads, os.path.basename(DDR5).replace('.bin', '-edited.txt'))
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=download]').click()
        WebDriverWait(self.driver, 10).until(lambda d: os.path.exists(target) and os.path.getsize(target) > 0)
        back = os.path.join(self.downloads, 'back.bin')
        subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), 'convert', '-o', back, target], check=True, capture_output=True)
        self.assertEqual(read(back), read(DDR5))
        os.remove(target)
        os.remove(back)

    def console(self, *args):
        out = os.path.join(self.downloads, 'console.bin')
        subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), *args[:1], '-o', out, '--force', *args[1:]], check=True,
                       capture_output=True)
        return read(out)

    def test_rebin_and_promote_make_the_console_s_images(self):
        self.driver.find_element(By.ID, 'rebin-speed').send_keys('DDR5-4400')  # as the rate is named
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=rebin]').click()
        WebDriverWait(self.driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, '#hex span.edited'))
        self.assertEqual(shown_bytes(self.driver), self.console('rebin', DDR5, '--speed', '4400'))
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=undo]').click()
        WebDriverWait(self.driver, 5).until(lambda d: shown_bytes(d) == read(DDR5))
        # XMP 1 asks 1.25 V: refused until the user accepts the voltage, as the console's option does.
        self.driver.find_element(By.ID, 'promote-profile').send_keys('XMP 1')
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=promote]').click()
        WebDriverWait(self.driver, 5).until(EC.alert_is_present())
        self.driver.switch_to.alert.dismiss()
        WebDriverWait(self.driver, 5).until(lambda d: d.find_element(By.ID, 'message').get_attribute('class') == 'refused')
        self.assertEqual(shown_bytes(self.driver), read(DDR5))
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=promote]').click()
        WebDriverWait(self.driver, 5).until(EC.alert_is_present())
        self.driver.switch_to.alert.accept()
        WebDriverWait(self.driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, '#hex span.edited'))
        self.assertEqual(shown_bytes(self.driver), self.console('promote', DDR5, '--profile', 'xmp1', '--accept-voltage'))

    def open_file(self, name, data):
        path = os.path.join(self.downloads, name)
        with open(path, 'wb') as f:
            f.write(data)
        count = self.driver.execute_script('return state.docs.length')
        self.driver.find_element(By.ID, 'file-input').send_keys(path)
        WebDriverWait(self.driver, 5).until(lambda d: d.execute_script('return state.docs.length') == count + 1)

    def panels(self):
        return self.driver.execute_script(
            'return ["#summary", "#checks", "#profiles", "#fields", "#sections"].map(s => document.querySelector(s).textContent)')

    def test_an_undecodable_file_leaves_no_decode_and_the_reg_area_is_decoded(self):
        self.assertTrue(all(self.panels()[:4]))
        self.open_file('noise.bin', bytes(range(256)) + bytes(44))
        self.assertEqual(self.panels(), [''] * 5)
        self.assertEqual(self.driver.find_element(By.ID, 'message').get_attribute('class'), 'refused')
        folder = tempfile.mkdtemp(prefix='dimmwand-ui-reg-')
        subprocess.run([os.path.join(BUILD, 'dimmwand-emu'), '--export', folder], check=True)
        self.open_file('reg5.bin', read(os.path.join(folder, 'reg5.bin')))
        summary, checks, _, fields, sections = self.panels()
        self.assertIn('SPD5118', summary)
        self.assertIn('SPD 集线器寄存器', sections)
        self.assertEqual((checks, fields), ('REG 区不带校验和', ''))
        self.assertEqual(len(cells(self.driver)), 128)

    def test_at_1366_by_768_the_page_holds_and_an_edit_s_result_is_in_view(self):
        self.driver.set_window_size(1366, 768)
        try:
            self.driver.get(self.wb.url)
            wait_ready(self.driver)
            self.driver.find_element(By.ID, 'compare-with').send_keys(os.path.basename(SIBLING))
            self.driver.find_element(By.CSS_SELECTOR, '[data-action=compare]').click()
            WebDriverWait(self.driver, 5).until(lambda d: d.find_element(By.ID, 'view-b').is_displayed())
            self.set_field('taa', '16.250')
            layout = self.driver.execute_script("""
                const header = document.querySelector('header').getBoundingClientRect().height;
                const cut = [...document.querySelectorAll('#fields label, #summary th, #summary td, .hint')]
                    .filter(e => e.scrollWidth > e.clientWidth + 1).map(e => e.textContent);
                const m = document.querySelector('#message').getBoundingClientRect();
                const side = document.querySelector('aside');
                return {header, width: document.documentElement.scrollWidth, window: document.documentElement.clientWidth, cut,
                        side: side.scrollWidth - side.clientWidth,
                        message: m.top >= 0 && m.bottom <= innerHeight, text: document.body.innerText,
                        ranges: [...document.querySelectorAll('#fields .hint')].filter(e => /\\d-\\d/.test(e.textContent)).length};""")
            self.assertLess(layout['header'], 40, 'the header wraps')
            self.assertLessEqual(layout['width'], layout['window'], 'the page is wider than the window')
            self.assertLessEqual(layout['side'], 0, 'the side panel is wider than its place')
            self.assertEqual(layout['cut'], [])
            self.assertTrue(layout['message'], "the edit's result is out of view")
            self.assertGreater(layout['ranges'], 10, 'the accepted ranges are not shown')
            self.assertNotIn('undefined', layout['text'])
        finally:
            self.driver.set_window_size(1500, 1000)

    def test_unsaved_edits_are_asked_about_before_leaving_or_closing(self):
        # Headless Chromium leaves without asking: the page's answer to the browser is what is tested.
        leaving = "const e = new Event('beforeunload', {cancelable: true}); dispatchEvent(e); return e.defaultPrevented"
        self.assertFalse(self.driver.execute_script(leaving))
        self.set_field('taa', '16.250')
        self.assertTrue(self.driver.execute_script(leaving))
        docs = self.driver.execute_script('return state.docs.length')
        for answer, left in (('dismiss', docs), ('accept', docs - 1)):
            self.driver.find_element(By.CSS_SELECTOR, '[data-action=close]').click()
            WebDriverWait(self.driver, 5).until(EC.alert_is_present())
            getattr(self.driver.switch_to.alert, answer)()
            self.assertEqual(self.driver.execute_script('return state.docs.length'), left)

    def test_the_kit_table_is_the_console_s(self):
        self.driver.find_element(By.CSS_SELECTOR, '[data-action=kit]').click()
        WebDriverWait(self.driver, 5).until(lambda d: d.find_element(By.ID, 'kit').text)
        shown = self.driver.find_element(By.ID, 'kit').text
        console = subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), 'kit', DDR5, SIBLING, DDR4], capture_output=True,
                                 text=True, cwd=os.path.dirname(DDR5))
        expected = console.stdout
        for path in (DDR5, SIBLING, DDR4):
            expected = expected.replace(path, os.path.basename(path))
        self.assertIn(expected.strip(), shown)
        self.assertIn('不能一起使用', shown)


if __name__ == '__main__':
    unittest.main()
