"""The locked door, through HTTP alone: every request needs the token, the Host must be ours, a
state-changing request must come from our page, an upload is bytes of at most 64 KiB."""
import unittest

from workbench import Workbench, dump

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

    def test_uploads_above_64_kib_are_refused(self):
        self.assertNotEqual(self.wb.request('/api/open', b'\0' * (64 * 1024 + 1))[0], 200)
        status, body = self.wb.request('/api/open', b'\0' * 512)
        self.assertEqual(status, 200)

    def test_listen_names_the_port_and_the_first_line_is_the_address(self):
        import socket
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            port = s.getsockname()[1]
        wb = Workbench('--listen', str(port))
        try:
            self.assertRegex(wb.url, rf'^http://127\.0\.0\.1:{port}/\?token=[0-9a-f]{{32}}$')
            self.assertEqual(wb.request('/api/start')[0], 200)
        finally:
            self.assertEqual(wb.stop(), 0)

    def test_no_route_takes_a_path(self):
        status, body = self.wb.request('/api/open', DDR4.encode())
        self.assertIn('error', body.decode())  # a path is only text that shows no dump


if __name__ == '__main__':
    unittest.main()
