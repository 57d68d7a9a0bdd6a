"""The workbench's speed, measured in headless Chromium on this machine; prints, never fails.
  1. A DDR5 image shown, decoded and coloured: from the page's request to the page ready (goal 300 ms).
  2. An edit's round trip: an input changed until the cells and the decode are drawn again (goal 50 ms).
  3. The idle server's processor time over IDLE seconds (goal: none).
  4. A write through the page and the console's own write of the same image: gaps between the
     written frames in the emulator's log (goal: the same pacing).
Medians of RUNS runs (default 5)."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'ui'))
from workbench import BUILD, Emulator, Workbench, browser, dump, post, status, wait_ready  # noqa: E402

RUNS = int(os.environ.get('RUNS', '5'))
IDLE = float(os.environ.get('IDLE', '5'))
DDR5 = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin')

EDIT = """
const done = arguments[arguments.length - 1];
const box = document.querySelector('#fields input[name="taa"]');
const t0 = performance.now();
new MutationObserver((m, o) => { o.disconnect(); requestAnimationFrame(() => done(performance.now() - t0)); })
  .observe(document.querySelector('#summary'), { childList: true, subtree: true });
box.value = arguments[0];
box.dispatchEvent(new Event('change', { bubbles: true }));
"""


def cpu_seconds(pid):
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def gaps(log):
    times = [float(l.split()[0]) for l in open(log, encoding='utf-8') if 'WriteByte' in l]
    return [(b - a) * 1000 for a, b in zip(times, times[1:])]


def main():
    wb = Workbench(DDR5)
    driver = browser()
    try:
        loads, edits = [], []
        for i in range(RUNS):
            driver.get(wb.url)
            wait_ready(driver)
            loads.append(driver.execute_script('return window.readyAt'))
            driver.set_script_timeout(10)
            edits.append(driver.execute_async_script(EDIT, '16.250' if i % 2 == 0 else '16.500'))
        print(f'DDR5 page shown, decoded and coloured: median {statistics.median(loads):.0f} ms (goal 300 ms), runs {[round(x) for x in loads]}')
        print(f'edit round trip: median {statistics.median(edits):.1f} ms (goal 50 ms), runs {[round(x, 1) for x in edits]}')
        driver.get('about:blank')
        time.sleep(2)  # the page's last connections are closed
        before = cpu_seconds(wb.proc.pid)
        time.sleep(IDLE)
        used = cpu_seconds(wb.proc.pid) - before
        print(f'idle server: {used * 1000:.0f} ms of processor time in {IDLE:.0f} s (goal none)')
    finally:
        driver.quit()
        wb.stop()

    # The same 4-byte change written by the page's server and by the console.
    work = tempfile.mkdtemp(prefix='dimmwand-bench-ui-')
    edited = os.path.join(work, 'edited.bin')
    subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), 'set', '-o', edited, DDR5, 'taa=16.250', 'trcd=16.250'],
                   check=True, capture_output=True)
    module = os.path.join(work, 'module.bin')
    shutil.copy(DDR5, module)
    emu = Emulator('--spd5', module)
    wb = Workbench()
    with open(edited, 'rb') as f:
        post(wb, '/api/plan', {'port': emu.port, 'generation': 5, 'area': 'spd', 'image': f.read().hex()})
    while status(wb)['running']:
        time.sleep(0.05)
    post(wb, '/api/write', {'plan': status(wb)['plan']['id']})
    while status(wb)['running']:
        time.sleep(0.05)
    wb.stop()
    emu.stop()
    page = gaps(emu.log)
    shutil.copy(DDR5, module)
    console_log = os.path.join(work, 'console.log')
    subprocess.run([os.path.join(BUILD, 'dimmwand-emu'), '--spd5', module, '--log', console_log, '--',
                    os.path.join(BUILD, 'dimmwand'), 'write', '{port}', '5', '-i', edited, '--changed', '--verify', '--check',
                    '--backup', os.path.join(work, 'backup.bin')], check=True, capture_output=True)
    console = gaps(console_log)
    print(f'write pacing, ms between written frames: page {[round(g, 2) for g in page]}, console {[round(g, 2) for g in console]}')
    shutil.rmtree(work)


if __name__ == '__main__':
    main()
