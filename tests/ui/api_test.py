"""The image API over HTTP, as the page uses it: what it says is the console's (rebin, fix,
compare, the REG area's decode) in the page's words, and a request of the wrong shape is a 400
with a Chinese reason, never a 500 nor a number taken for another."""
import os
import re
import subprocess
import tempfile
import unittest

from workbench import BUILD, Workbench, dump, post

DDR5 = dump('ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin')
DDR4 = dump('ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin')
DDR3 = dump('ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin')
CHINESE = re.compile('[\u4e00-\u9fff]')


def read(path):
    with open(path, 'rb') as f:
        return f.read()


class ApiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wb = Workbench()
        cls.scratch = tempfile.mkdtemp(prefix='dimmwand-ui-api-')

    @classmethod
    def tearDownClass(cls):
        cls.wb.stop()

    def console(self, *args):
        """The image dimmwand-spd makes with `args` (a subcommand, then its arguments)."""
        out = os.path.join(self.scratch, 'console.bin')
        subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), args[0], '-o', out, '--force', *args[1:]], check=True,
                       capture_output=True)
        return read(out)

    def edit(self, image, **request):
        return post(self.wb, '/api/edit', {'image': image.hex(), **request})

    def test_requests_of_the_wrong_shape_are_400_in_chinese(self):
        image = read(DDR5).hex()
        for path, body in (
                ('/api/edit', {'image': image, 'op': 'set', 'key': 'taa', 'value': 16.25}),
                ('/api/edit', {'image': image, 'op': 'promote', 'profile': 'xmp1', 'accept_voltage': 'yes'}),
                ('/api/edit', {'image': image, 'op': 'rebin', 'speed': True}),
                ('/api/edit', {'image': image, 'op': 5}),
                ('/api/read', {'port': '/dev/null', 'generation': 'x'}),
                ('/api/read', {'port': '/dev/null', 'generation': -1}),
                ('/api/read', {'port': 5, 'generation': 5}),
                ('/api/plan', {'port': '/dev/null', 'generation': 5, 'image': 12}),
                ('/api/write', {'plan': 12}),
                ('/api/write', {'plan': 'x', 'clone': 'yes'}),
                ('/api/kit', {'images': 'x'}),
                ('/api/compare', {'a': image}),
                ('/api/dismiss', {'port': None}),
        ):
            with self.subTest(path=path, body={k: v for k, v in body.items() if k != 'image'}):
                code, answer = post(self.wb, path, body)
                self.assertEqual(code, 400)
                self.assertRegex(answer['error'], CHINESE)

    def test_speeds_as_technicians_type_them(self):
        rebinned = self.console('rebin', DDR4, '--speed', '2133')
        for speed in ('2133', 'DDR4-2133', '2133MHz', ' 2133 MT/s', 'ddr4-2133', 2133):
            with self.subTest(speed=speed):
                code, answer = self.edit(read(DDR4), op='rebin', speed=speed)
                self.assertEqual((code, bytes.fromhex(answer['image'])), (200, rebinned))
        for speed in ('-1', -1, 'fast', 'DDR4-2133x', '', '4294967295', 'DDR-2133'):
            with self.subTest(speed=speed):
                code, answer = self.edit(read(DDR4), op='rebin', speed=speed)
                self.assertEqual(code, 200)
                self.assertNotIn('image', answer)
                self.assertRegex(answer['error'], '速率|DDR4-')
                self.assertNotIn('4294967295', answer['error'])

    def test_refusals_the_user_may_overrule_are_asked_in_the_page_s_words(self):
        cases = (  # image, request, the confirmation it needs, what overrules it
            (DDR4, {'op': 'set', 'key': 'tck', 'value': '0.750'}, 'faster', {'faster': True}),
            (DDR5, {'op': 'promote', 'profile': 'xmp1', 'accept_voltage': False}, 'voltage', {'accept_voltage': True}),
        )
        for path, request, confirm, overrule in cases:
            with self.subTest(confirm=confirm):
                code, answer = self.edit(read(path), **request)
                self.assertEqual((code, answer.get('confirm')), (200, confirm))
                self.assertNotIn('--', answer['error'])
                code, answer = self.edit(read(path), **{**request, **overrule})
                self.assertIn('image', answer, answer.get('error'))
                self.assertNotIn('--', '\n'.join(answer['notes']))
        # A profile whose own checksum fails is refused for that, which no confirmation overrules.
        image = bytearray(read(DDR5))
        analysis = post(self.wb, '/api/analyse', {'image': image.hex()})[1]
        xmp1 = next(c for c in analysis['checksums'] if 'XMP' in c['name'] and '1' in c['name'])
        image[xmp1['from'] + 5] ^= 0x01
        code, answer = self.edit(image, op='promote', profile='xmp1', accept_voltage=False)
        self.assertNotIn('confirm', answer)
        self.assertIn('不正确', answer['error'])

    def test_fix_makes_the_console_s_image_and_an_edit_brings_its_analysis(self):
        broken = bytearray(read(DDR3))
        broken[20] ^= 0x01
        path = os.path.join(self.scratch, 'broken.bin')
        with open(path, 'wb') as f:
            f.write(broken)
        code, answer = self.edit(broken, op='fix')
        self.assertEqual(bytes.fromhex(answer['image']), self.console('fix', path))
        self.assertTrue(all(c['ok'] for c in answer['analysis']['checksums']))

    def test_compare_counts_every_byte_of_every_run(self):
        a = read(DDR5)
        b = bytearray(a)
        runs = ((10, 10), (20, 22), (100, 101), (1023, 1023))
        for first, last in runs:
            for o in range(first, last + 1):
                b[o] ^= 0xFF
        answer = post(self.wb, '/api/compare', {'a': a.hex(), 'b': b.hex()})[1]
        self.assertEqual([(r['from'], r['to']) for r in answer['runs']], list(runs))
        self.assertEqual(answer['bytes'], 7)

    def test_the_reg_area_is_decoded_as_dimmwand_spd_decodes_it_and_other_bytes_not_at_all(self):
        folder = tempfile.mkdtemp(prefix='dimmwand-ui-reg-')
        subprocess.run([os.path.join(BUILD, 'dimmwand-emu'), '--export', folder], check=True)
        reg = os.path.join(folder, 'reg5.bin')
        info = subprocess.run([os.path.join(BUILD, 'dimmwand-spd'), 'info', reg], capture_output=True, text=True,
                              check=True).stdout
        answer = post(self.wb, '/api/analyse', {'image': read(reg).hex()})[1]
        self.assertEqual(answer['area'], 'reg')
        self.assertEqual([f'{label}: {value}' for label, value in answer['sections'][0]['lines']], info.splitlines())
        for image in (bytes(range(256)) + bytes(44), b'\xff' * 100):
            self.assertIn('error', post(self.wb, '/api/analyse', {'image': image.hex()})[1])


if __name__ == '__main__':
    unittest.main()
