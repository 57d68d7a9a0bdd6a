"""The locked door, through HTTP alone: every request needs the token, the Host must be ours, a
state-changing request must come from our page, a body is at most 64 KiB however it is sent, no
page may frame ours, slow clients are cut off, the browser never sees the token on a command line,
and a port in use is said."""
import os
import select
import socket
import subprocess
import tempfile
import time
import unittest

from workbench import BUILD, Workbench, dump

DDR4 = dump('ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin')


class DoorTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wb = Workbench()

    @classmethod
    def tearDownClass(cls):
        cls.wb.stop()

    def test_token_is_128_bits_of_hex(self):
        self.assertRegex(self.wb.token, r'^[0-9a-f]{32,}$')

    def test_requests_without_the_right_token_are_refused(self):
        wrong = ('0' if self.wb.token[0] != '0' else '1') + self.wb.token[1:]
        for path in ('/', '/index.html', '/app.js', '/api/start', '/api/status'):
            for token in (False, wrong, self.wb.token[:-1]):
                with self.subTest(path=path, token=token):
                    status, body = self.wb.request(path, token=token)
                    self.assertEqual(status, 403)
                    self.assertIn('403', body.decode())
        self.assertEqual(self.wb.request('/?token=' + wrong, token=False)[0], 403)

    def test_the_first_address_opens_the_page_and_sets_the_cookie(self):
        import urllib.request
        with urllib.request.urlopen(self.wb.url, timeout=10) as r:
            self.assertEqual(r.status, 200)
            cookie = r.headers['Set-Cookie']
        self.assertIn(f'dimmwand_token_{self.wb.port}={self.wb.token}', cookie)
        self.assertIn('HttpOnly', cookie)
        status, _ = self.wb.request('/api/start', token=False, headers={'Cookie': cookie.split(';')[0]})
        self.assertEqual(status, 200)

    def test_foreign_host_is_refused(self):
        for host in (f'evil.example:{self.wb.port}', f'127.0.0.1:{self.wb.port + 1}', '127.0.0.1', f'[::1]:{self.wb.port}'):
            with self.subTest(host=host):
                self.assertEqual(self.wb.request('/api/start', headers={'Host': host})[0], 403)
        for host in (f'127.0.0.1:{self.wb.port}', f'localhost:{self.wb.port}'):
            with self.subTest(host=host):
                self.assertEqual(self.wb.request('/api/start', headers={'Host': host})[0], 200)

    def test_post_from_another_origin_is_refused(self):
        with open(DDR4, 'rb') as f:
            image = f.read()
        for origin in ('http://evil.example', f'http://127.0.0.1:{self.wb.port + 1}', 'null', ''):
            with self.subTest(origin=origin):
                self.assertEqual(self.wb.request('/api/open', image, headers={'Origin': origin})[0], 403)
        status, body = self.wb.request('/api/open', image)
        self.assertEqual(status, 200)
        self.assertIn(b'"image"', body)

    def connect(self, head):
        s = socket.create_connection(('127.0.0.1', self.wb.port), timeout=10)
        s.sendall(head.replace(b'{port}', str(self.wb.port).encode()).replace(b'{token}', self.wb.token.encode()))
        return s

    def test_a_body_past_64_kib_is_refused_before_it_is_read(self):
        post = b'POST /api/open HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nX-Dimmwand-Token: {token}\r\n' \
               b'Origin: http://127.0.0.1:{port}\r\n'
        # A declared length is judged before a byte of the body is sent.
        with self.connect(post + b'Content-Length: 104857600\r\n\r\n') as s:
            self.assertTrue(s.recv(4096).startswith(b'HTTP/1.1 413 '))
        # A chunked body is answered once it passes the limit, within a chunk or two.
        with self.connect(post + b'Transfer-Encoding: chunked\r\n\r\n') as s:
            sent = 0
            while not select.select([s], [], [], 0.05)[0]:
                s.sendall(b'1000\r\n' + b'\0' * 4096 + b'\r\n')
                sent += 4096
                self.assertLess(sent, 1 << 20, 'a megabyte sent and no answer')
            self.assertTrue(s.recv(4096).startswith(b'HTTP/1.1 413 '))
            self.assertLessEqual(sent, 64 * 1024 + 2 * 4096)
        self.assertEqual(self.wb.request('/api/open', b'\0' * (64 * 1024 + 1))[0], 413)
        self.assertEqual(self.wb.request('/api/open', b'\0' * 512)[0], 200)

    def test_every_answer_forbids_framing_and_any_script_but_the_page_s(self):
        import urllib.request
        for path, token in (('/', True), ('/app.js', True), ('/api/status', True), ('/api/status', False)):
            with self.subTest(path=path, token=token):
                headers = {'X-Dimmwand-Token': self.wb.token} if token else {}
                try:
                    answer = urllib.request.urlopen(urllib.request.Request(self.wb.base + path, headers=headers), timeout=10)
                except urllib.error.HTTPError as e:
                    answer = e
                self.assertEqual(answer.headers['X-Frame-Options'], 'DENY')
                policy = answer.headers['Content-Security-Policy']
                self.assertIn("frame-ancestors 'none'", policy)
                self.assertIn("script-src 'self';", policy)
                self.assertNotIn('unsafe', policy)

    def test_slow_clients_neither_freeze_the_server_nor_keep_their_connections(self):
        # More connections than the library's eight threads, each sending a byte of its request
        # now and then, as the trial's ten did.
        slow = [self.connect(b'GET /api/status HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n') for _ in range(12)]
        try:
            started = time.monotonic()
            self.assertEqual(self.wb.request('/api/status')[0], 200)
            self.assertLess(time.monotonic() - started, 3)
            # Cut off once the time for a whole request is over (10 s), not before.
            left = list(slow)
            while left and time.monotonic() - started < 20:
                for s in list(left):
                    try:
                        s.sendall(b'X')
                        if select.select([s], [], [], 0)[0] and not s.recv(4096):
                            left.remove(s)
                    except OSError:
                        left.remove(s)
                if len(left) == len(slow):
                    self.assertLess(time.monotonic() - started, 12, 'no slow connection was cut off')
                else:
                    self.assertGreater(time.monotonic() - started, 8, 'slow connections were cut off too soon')
                time.sleep(0.5)
            self.assertEqual(left, [])
        finally:
            for s in slow:
                s.close()

    def test_the_browser_is_opened_on_a_file_of_the_user_s_never_on_the_token(self):
        home = tempfile.mkdtemp(prefix='dimmwand-ui-browser-')
        os.makedirs(os.path.join(home, 'bin'))
        runtime = os.path.join(home, 'run')
        os.mkdir(runtime, 0o700)
        opener = os.path.join(home, 'bin', 'xdg-open')
        with open(opener, 'w') as f:  # records what any user would see of it, and what it opened
            f.write(f'#!/bin/sh\nstat -c %a "$1" > {home}/mode\ncp "$1" {home}/page\necho "$@" > {home}/argv\n')
        os.chmod(opener, 0o755)
        env = dict(os.environ, PATH=os.path.join(home, 'bin') + ':' + os.environ['PATH'], XDG_RUNTIME_DIR=runtime)
        wb = Workbench(browser=True, env=env)
        try:
            argv = os.path.join(home, 'argv')
            deadline = time.monotonic() + 10
            while not os.path.exists(argv) and time.monotonic() < deadline:
                time.sleep(0.05)
            time.sleep(0.1)
            with open(argv) as f:
                opened = f.read().strip()
            self.assertNotIn(wb.token, opened)
            self.assertEqual(os.path.dirname(opened), runtime)
            with open(os.path.join(home, 'mode')) as f:
                self.assertEqual(f.read().strip(), '600')
            with open(os.path.join(home, 'page')) as f:
                self.assertIn(f'url={wb.url}"', f.read())
        finally:
            self.assertEqual(wb.stop(), 0)
        self.assertFalse(os.path.exists(opened), 'the file with the token stays behind')

    def test_listen_names_the_port_and_a_port_in_use_is_said(self):
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            port = s.getsockname()[1]
        wb = Workbench('--listen', str(port))
        try:
            self.assertRegex(wb.url, rf'^http://127\.0\.0\.1:{port}/\?token=[0-9a-f]{{32}}$')
            # A second server on the same port neither starts nor takes every other request.
            second = subprocess.run([os.path.join(BUILD, 'dimmwand-ui'), '--no-browser', '--listen', str(port)],
                                    capture_output=True, text=True, timeout=10)
            self.assertEqual(second.returncode, 1)
            self.assertRegex(second.stderr, rf'^错误: 无法在 127\.0\.0\.1:{port} 上监听: .+\n$')
            self.assertEqual(second.stdout, '')
            for _ in range(4):
                self.assertEqual(wb.request('/api/start')[0], 200)
        finally:
            self.assertEqual(wb.stop(), 0)

    def test_no_route_takes_a_path(self):
        status, body = self.wb.request('/api/open', DDR4.encode())
        self.assertIn('error', body.decode())  # a path is only text that shows no dump


if __name__ == '__main__':
    unittest.main()
