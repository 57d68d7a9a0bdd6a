"""What the workbench tests share: the program started on a free port, its address, a headless
Chromium pointed at it, and an emulator on a pseudo-terminal as the programmer."""
import json
import os
import signal
import subprocess
import tempfile
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as ChromeService
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
DUMPS = os.path.join(ROOT, 'tests', 'data', 'spd-dumps')
BUILD = os.environ.get('DIMMWAND_BUILD', os.path.join(ROOT, 'build'))


def dump(name):
    return os.path.join(DUMPS, name)


class Workbench:
    """dimmwand-ui --no-browser, with its first line read: the address and the token."""

    def __init__(self, *args, backup_dir=None, browser=False, env=None):
        self.backup_dir = backup_dir or tempfile.mkdtemp(prefix='dimmwand-ui-backups-')
        # DIMMWAND_UI: another command for the program, e.g. "wine build-win/dimmwand-ui.exe".
        program = os.environ.get('DIMMWAND_UI', '').split() or [os.path.join(BUILD, 'dimmwand-ui')]
        flags = [] if browser else ['--no-browser']
        self.proc = subprocess.Popen([*program, *flags, '--backup-dir', self.backup_dir, *args],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        self.url = self.proc.stdout.readline().strip()
        assert self.url.startswith('http://127.0.0.1:'), self.url
        self.token = self.url.split('token=')[1]
        self.port = int(self.url.split(':')[2].split('/')[0])
        self.base = f'http://127.0.0.1:{self.port}'

    def stop(self):
        self.proc.send_signal(2)
        try:
            self.proc.communicate(timeout=10)
        except subprocess.TimeoutExpired:  # wine may not pass the signal on
            self.proc.kill()
            self.proc.communicate()
        return self.proc.returncode

    def request(self, path, body=None, headers=None, token=True, method=None):
        """(status, body bytes) of one request; the token as a header unless token is False or a string."""
        h = dict(headers or {})
        if token is True:
            h.setdefault('X-Dimmwand-Token', self.token)
        elif token:
            h['X-Dimmwand-Token'] = token
        if body is not None:
            h.setdefault('Origin', self.base)
        req = urllib.request.Request(self.base + path, data=body, headers=h, method=method)
        try:
            with urllib.request.urlopen(req, timeout=30) as r:
                return r.status, r.read()
        except urllib.error.HTTPError as e:
            return e.code, e.read()


def browser(download_dir=None):
    options = webdriver.ChromeOptions()
    for a in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--window-size=1500,1000', '--lang=zh-CN'):
        options.add_argument(a)
    if download_dir:
        options.add_experimental_option('prefs', {'download.default_directory': download_dir,
                                                  'download.prompt_for_download': False})
    service = ChromeService(executable_path='/usr/bin/chromedriver')
    return webdriver.Chrome(options=options, service=service)


def status(wb):
    return json.loads(wb.request('/api/status')[1])


def post(wb, path, body):
    """(status, answer) of a JSON request."""
    code, answer = wb.request(path, json.dumps(body).encode(), headers={'Content-Type': 'application/json'})
    return code, json.loads(answer)


def wait_ready(driver, timeout=10):
    WebDriverWait(driver, timeout).until(lambda d: d.execute_script('return document.body.dataset.ready === "1"'))


class Emulator:
    """dimmwand-emu serving on a pseudo-terminal; its first line is the port."""

    def __init__(self, *args):
        self.dir = tempfile.mkdtemp(prefix='dimmwand-emu-')
        self.log = os.path.join(self.dir, 'frames.log')
        self.proc = subprocess.Popen([os.path.join(BUILD, 'dimmwand-emu'), '--log', self.log, *args],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.port = self.proc.stdout.readline().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(2)
            self.proc.communicate(timeout=10)

    def swap(self):
        """Pulls the module and plugs in the other one (--swap), once the emulator says so."""
        notes = self.notes()
        self.proc.send_signal(signal.SIGUSR1)
        WebDriverWait(None, 5, poll_frequency=0.02).until(lambda _: self.notes() > notes)

    def notes(self):
        return sum(1 for line in self.frames() if 'module plugged in' in line)

    def frames(self):
        with open(self.log, encoding='utf-8') as f:
            return f.read().splitlines()
