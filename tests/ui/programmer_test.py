"""Reading, editing and writing a module through the page, with dimmwand-emu as the programmer:
the module's bytes, the backup and the emulator's frame log prove the careful path."""
import glob
import json
import os
import re
import shutil
import signal
import tempfile
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

from workbench import Emulator, Workbench, browser, dump, wait_ready

DDR5 = dump('ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin')
WRITE_PAUSE = 0.007  # the console's pause after each written frame


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def write_frames(emu):
    """(seconds, address) of every byte written, from the frame log."""
    out = []
    for line in emu.frames():
        parts = line.split()
        if 'WriteByte' in parts:
            out.append((float(parts[0]), int(parts[-2][1:], 16)))
    return out


class ProgrammerTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='dimmwand-ui-module-')
        self.module = os.path.join(self.dir, 'module.bin')
        shutil.copy(DDR5, self.module)
        self.driver = browser()

    def tearDown(self):
        self.driver.quit()
        self.wb.stop()
        self.emu.stop()

    def start(self, *emu_args, files=()):
        self.emu = Emulator('--spd5', self.module, '--save', *emu_args)
        self.wb = Workbench('--programmer', self.emu.port, *files)
        self.driver.get(self.wb.url)
        wait_ready(self.driver)
        Select(self.driver.find_element(By.CSS_SELECTOR, 'select[name=generation]')).select_by_value('5')
        Select(self.driver.find_element(By.CSS_SELECTOR, 'select[name=area]')).select_by_value('spd')
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, 'input[name=port]').get_attribute('value'), self.emu.port)

    def click(self, action):
        self.driver.find_element(By.CSS_SELECTOR, f'[data-action="{action}"]').click()

    def wait_outcome(self, kind=None, timeout=20):
        """The outcome text once the server's operation (of `kind`) ended and the page showed it."""
        def ended(_):
            s = json.loads(self.wb.request('/api/status')[1])
            return not s.get('running') and (kind is None or s.get('kind') == kind)
        WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(ended)
        WebDriverWait(self.driver, timeout).until(lambda d: d.execute_script(
            'const b = document.querySelector("#outcome"); return !polling && b.dataset.running === "0" && '
            f'(b.dataset.kind === "{kind}" || {"true" if kind is None else "false"})'))
        return self.driver.find_element(By.ID, 'outcome-text').text

    def edit(self, key, value):
        box = self.driver.find_element(By.CSS_SELECTOR, f'#fields input[name="{key}"]')
        box.send_keys(Keys.CONTROL, 'a')
        box.send_keys(value, Keys.ENTER)
        WebDriverWait(self.driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, '#hex span.edited'))

    def shown(self):
        return bytes(self.driver.execute_script('return Array.from(state.docs[state.current].image)'))

    def test_read_edit_and_write_with_backup_changed_bytes_only_and_verify(self):
        self.start()
        self.click('read')
        WebDriverWait(self.driver, 5).until(lambda d: d.find_element(By.ID, 'progress').is_displayed())
        WebDriverWait(self.driver, 20).until(lambda d: d.execute_script('return state.docs.length') == 1)
        self.assertEqual(self.shown(), read(DDR5))
        self.edit('taa', '16.250')
        edited = self.shown()
        changed = [i for i in range(1024) if edited[i] != read(DDR5)[i]]
        self.click('write')
        plan = self.driver.find_element(By.ID, 'plan-text')
        WebDriverWait(self.driver, 5).until(lambda d: plan.text)
        self.assertIn(' '.join(f'0x{o:X}' for o in changed), plan.text)
        self.assertIn('检查通过', plan.text)
        self.assertEqual(write_frames(self.emu), [], 'nothing is written before the confirmation')
        self.click('confirm-write')
        outcome = self.wait_outcome('write')
        self.assertIn('校验通过', outcome)
        backups = glob.glob(os.path.join(self.wb.backup_dir, '*.bin'))
        self.assertEqual(len(backups), 1)
        self.assertIn(os.path.basename(backups[0]), outcome)
        self.assertEqual(read(backups[0]), read(DDR5))
        frames = write_frames(self.emu)
        self.assertEqual([a for _, a in frames], changed)
        # Paced as the console paces (bench/ui.py measures the gaps): the emulator stamps a frame
        # when it gets to read it, which on a busy machine can bunch two, so the span is checked.
        span = frames[-1][0] - frames[0][0]
        self.assertGreaterEqual(span, (len(frames) - 2) * WRITE_PAUSE, frames)
        # The operation belongs to the server: a page opened again shows how it ended.
        self.driver.get(self.wb.url)
        wait_ready(self.driver)
        self.assertIn('校验通过', self.wait_outcome('write'))
        self.emu.stop()
        self.assertEqual(read(self.module), edited)
        self.emu.stop = lambda: None

    def test_a_cable_pulled_mid_write_shows_the_count_and_offers_the_backup(self):
        # Frames: the hub's registers for the plan, then for the write, the area twice for the
        # backup, then the bytes: the line drops as the second byte's frame arrives, and the third
        # cannot be sent.
        self.start('--hangup-after', '6', files=(DDR5,))
        self.edit('taa', '16.250')
        self.click('write')
        WebDriverWait(self.driver, 5).until(lambda d: d.find_element(By.ID, 'plan-text').text)
        self.click('confirm-write')
        outcome = self.wait_outcome('write')
        self.assertIn('已写入 2 / 4 字节', outcome)
        self.assertTrue(self.driver.find_element(By.CSS_SELECTOR, '[data-action=restore]').is_displayed())
        self.assertEqual(len(glob.glob(os.path.join(self.wb.backup_dir, '*.bin'))), 1)

    def test_a_write_into_a_protected_block_is_shown_and_cannot_be_confirmed(self):
        self.start('--protect-blocks', '0')
        self.click('read')
        WebDriverWait(self.driver, 20).until(lambda d: d.execute_script('return state.docs.length') == 1)
        self.edit('taa', '16.250')
        self.click('write')
        plan = self.driver.find_element(By.ID, 'plan-text')
        WebDriverWait(self.driver, 10).until(lambda d: '写保护' in plan.text)
        self.assertIn('块 0 受写保护', plan.text)
        self.assertFalse(self.driver.find_element(By.CSS_SELECTOR, '[data-action="confirm-write"]').is_enabled())
        self.assertEqual(write_frames(self.emu), [])

    def test_a_second_operation_is_told_the_programmer_is_busy(self):
        self.start('--read-time', '1500')
        self.click('read')
        self.click('read')
        WebDriverWait(self.driver, 5).until(lambda d: '编程器忙' in d.find_element(By.ID, 'op-error').text)
        self.wait_outcome()


class InterruptTest(unittest.TestCase):
    def test_ctrl_c_stops_a_write_between_frames_and_says_its_count(self):
        module = os.path.join(tempfile.mkdtemp(prefix='dimmwand-ui-module-'), 'module.bin')
        shutil.copy(DDR5, module)
        emu = Emulator('--spd5', module)
        wb = Workbench()
        try:
            other = read(dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin'))
            body = json.dumps({'port': emu.port, 'generation': 5, 'area': 'spd', 'image': other.hex()}).encode()
            self.assertEqual(wb.request('/api/write', body, headers={'Content-Type': 'application/json'})[0], 200)
            WebDriverWait(None, 10, poll_frequency=0.02).until(
                lambda _: json.loads(wb.request('/api/status')[1]).get('done', 0) > 10)
            wb.proc.send_signal(signal.SIGINT)
            _, err = wb.proc.communicate(timeout=20)
            self.assertEqual(wb.proc.returncode, 130)
            self.assertRegex(err, r'^错误: 已中断: 已写入 (\d+) / (\d+) 字节\n')
            written = int(re.search(r'已写入 (\d+) /', err).group(1))
            self.assertEqual(len(write_frames(emu)), written)
        finally:
            emu.stop()


if __name__ == '__main__':
    unittest.main()
