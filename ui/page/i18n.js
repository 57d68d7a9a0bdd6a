// The page's own words in both languages; what the library says (decode, refusals) stays as it says it.
'use strict';
const WORDS = {
  zh: {
    title: 'dimmwand 工作台', open: '打开映像…', undo: '撤销', redo: '重做', download: '下载', as_text: '文本转储',
    compare: '比较', kit: '配套', programmer: '编程器', read: '读取模块', write: '写入模块…', confirm_write: '确认写入',
    cancel: '取消', restore: '写回备份', drop: '把映像文件拖到这里，或点“打开映像…”', summary: '概要', checks: '检查',
    profiles: '超频配置', differences: '不同之处', edit: '修改', rebin_to: '降为速率', rebin: '降速', promote: '设为基本配置',
    full: '完整解读', no_profiles: '无', strict: '一致性', module: '模块', busy: '编程器忙', reading: '读取中…',
    writing: '写入中', done: '完成', failed: '失败', plan_none: '与模块内容相同：没有要写入的字节',
    plan_head: (n, g, area) => `将写入 ${n} 个字节到 DDR${g} ${area} 区，地址: `,
    plan_unknown: '页面不知道模块现在的内容：写入时先读出模块，只写与它不同的字节',
    plan_steps: (dir) => `步骤: 检查映像 → 读出模块并备份到 ${dir}（不覆盖已有文件）→ 只写改变的字节 → 读回校验`,
    checks_ok: '检查通过（代数、大小、校验和）', checks_bad: '检查未通过: ', backup: '备份: ',
    same: '两个映像相同', differ: (n, b) => `共 ${n} 处不同，${b} 字节`, need_two: '比较需要另一个已打开的映像',
    need_kit: '配套需要至少两个已打开的映像', voltage: '该配置的电压高于本代的固定电压。仍然设为基本配置吗？',
    no_image: '请先打开一个映像', no_protection: 'SPD 集线器：没有受写保护的块',
    protected: (b) => `SPD 集线器：块 ${b} 受写保护（每块 64 字节），写入会拒绝落在其中的字节`, checksums: '校验和', nothing_changed: '没有改变',
  },
  en: {
    title: 'dimmwand workbench', open: 'Open image…', undo: 'Undo', redo: 'Redo', download: 'Download', as_text: 'text dump',
    compare: 'Compare', kit: 'Kit', programmer: 'Programmer', read: 'Read module', write: 'Write module…',
    confirm_write: 'Confirm write', cancel: 'Cancel', restore: 'Write the backup back',
    drop: 'Drop an image file here, or click “Open image…”', summary: 'Summary', checks: 'Checks', profiles: 'Profiles',
    differences: 'Differences', edit: 'Edit', rebin_to: 'Rebin to', rebin: 'Rebin', promote: 'Make base', full: 'Full decode',
    no_profiles: 'none', strict: 'consistency', module: 'module', busy: 'programmer busy', reading: 'reading…',
    writing: 'writing', done: 'done', failed: 'failed', plan_none: 'Same as the module: no bytes to write',
    plan_head: (n, g, area) => `${n} bytes will be written to the DDR${g} ${area} area, addresses: `,
    plan_unknown: 'The page does not know the module\'s content: the write reads it first and writes only the bytes that differ',
    plan_steps: (dir) => `Steps: check the image → read the module and back it up into ${dir} (never replacing) → write the changed bytes only → read back and verify`,
    checks_ok: 'Checks passed (generation, size, checksums)', checks_bad: 'Checks failed: ', backup: 'Backup: ',
    same: 'The images are the same', differ: (n, b) => `${n} runs differ, ${b} bytes`,
    need_two: 'Comparing needs another open image', need_kit: 'A kit needs at least two open images',
    voltage: 'This profile\'s voltage is above the generation\'s fixed one. Make it the base anyway?',
    no_image: 'Open an image first', no_protection: 'SPD hub: no block is write-protected',
    protected: (b) => `SPD hub: blocks ${b} are write-protected (64 bytes each); the write refuses bytes in them`, checksums: 'Checksums', nothing_changed: 'nothing changed',
  },
};
let lang = 'zh';
function t(key, ...args) {
  const w = WORDS[lang][key] ?? WORDS.zh[key] ?? key;
  return typeof w === 'function' ? w(...args) : w;
}
function applyLanguage(l) {
  lang = l;
  document.documentElement.lang = l === 'zh' ? 'zh-CN' : 'en';
  for (const el of document.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
  document.title = t('title');
}
