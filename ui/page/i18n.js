// The page's own words in both languages; what the library says (decode, refusals) stays as it says it.
'use strict';
const WORDS = {
  zh: {
    title: 'dimmwand 工作台', open: '打开映像…', close: '关闭', opened: '已打开的映像', undo: '撤销', redo: '重做',
    download: '下载', as_text: '文本转储', compare: '比较', kit: '配套', programmer: '编程器', read: '读取模块',
    write: '写入模块…', confirm_write: '确认写入', cancel: '取消', restore: '写回备份…', dismiss: '不再显示',
    drop: '把映像文件拖到这里，或点“打开映像…”', summary: '概要', checks: '检查', fix: '修正校验和', profiles: '超频配置',
    differences: '不同之处', edit: '修改', rebin_to: '降为速率', rebin: '降速', promote: '设为基本配置', full: '完整解读',
    no_profiles: '无', strict: '一致性', module: '模块', reading: '读取中（读到两次一致为止）…', planning: '读出模块，生成写入计划…',
    writing: '写入中', restoring: '写回中', done: '完成', failed: '失败',
    plan_write: (g, area, port) => `写入计划：DDR${g} ${area} 区，串口 ${port}`,
    plan_restore: (g, area, port) => `写回备份的计划：DDR${g} ${area} 区，串口 ${port}`,
    plan_none: '与模块内容相同：没有要写入的字节（确认后只读回校验）',
    plan_bytes: (n, same) => `将写入 ${n} 个字节（${same} 个字节已相同，不写），地址: `,
    in_socket: '插槽里的模块', image_of: '映像读自', backup_of: '备份读自',
    other_module: (m, i) => `插槽里不是映像读自的那条内存条（插槽里: ${m}；映像: ${i}）。写入会把它写成映像的副本。`,
    clone: '写成副本：我要把插槽里的这条内存条写成映像的副本',
    plan_steps: (dir, n) => `确认后: 读出模块并备份到 ${dir}（不覆盖已有文件）→ 确认模块仍是生成计划时的内容 → 只写这 ${n} 个字节 → 读回校验`,
    backup: '备份: ', no_backup: '没有保存备份', refused_head: (port, g, area) => `串口 ${port} 上 DDR${g} ${area} 区的写入没有开始，模块未改变`,
    failure_head: (port, g, area) => `串口 ${port} 上 DDR${g} ${area} 区的写入没有完成，模块可能只写了一部分`,
    lost: '与工作台的连接中断，正在重试…', unreachable: '无法连接工作台：dimmwand-ui 还在运行吗？',
    too_big: '文件大于 64 KiB，不是 SPD 映像', same: '两个映像相同', differ: (n, b) => `共 ${n} 处不同，${b} 字节`,
    need_two: '比较需要另一个已打开的映像', need_kit: '配套需要至少两个已打开的映像',
    confirm_faster: '仍然提高基本速率吗？', confirm_voltage: '确认主板会设定这个电压，仍然设为基本配置吗？',
    no_image: '请先打开一个映像', nothing_changed: '没有改变', bytes_word: '字节',
    close_unsaved: (name) => `${name} 有未下载、未写入的修改。仍然关闭吗？`, reg_no_checksums: 'REG 区不带校验和',
  },
  en: {
    title: 'dimmwand workbench', open: 'Open image…', close: 'Close', opened: 'open images', undo: 'Undo', redo: 'Redo',
    download: 'Download', as_text: 'text dump', compare: 'Compare', kit: 'Kit', programmer: 'Programmer', read: 'Read module',
    write: 'Write module…', confirm_write: 'Confirm write', cancel: 'Cancel', restore: 'Write the backup back…', dismiss: 'Dismiss',
    drop: 'Drop an image file here, or click “Open image…”', summary: 'Summary', checks: 'Checks', fix: 'Fix checksums',
    profiles: 'Profiles', differences: 'Differences', edit: 'Edit', rebin_to: 'Rebin to', rebin: 'Rebin', promote: 'Make base',
    full: 'Full decode', no_profiles: 'none', strict: 'consistency', module: 'module',
    reading: 'reading (until two reads agree)…', planning: 'reading the module for the plan…', writing: 'writing',
    restoring: 'writing back', done: 'done', failed: 'failed',
    plan_write: (g, area, port) => `Write plan: DDR${g} ${area} area, port ${port}`,
    plan_restore: (g, area, port) => `Plan to write the backup back: DDR${g} ${area} area, port ${port}`,
    plan_none: 'Same as the module: no bytes to write (confirming only reads back and verifies)',
    plan_bytes: (n, same) => `${n} bytes will be written (${same} already hold their value), addresses: `,
    in_socket: 'Module in the socket', image_of: 'Image read from', backup_of: 'Backup read from',
    other_module: (m, i) => `The module in the socket is not the one the image was read from (socket: ${m}; image: ${i}). Writing makes it a copy of the image.`,
    clone: 'Make a copy: I want the module in the socket to become a copy of the image',
    plan_steps: (dir, n) => `On confirming: read the module and back it up into ${dir} (never replacing) → check it still holds what the plan was made from → write these ${n} bytes only → read back and verify`,
    backup: 'Backup: ', no_backup: 'no backup was saved', refused_head: (port, g, area) => `The write to the DDR${g} ${area} area on ${port} did not begin: the module is unchanged`,
    failure_head: (port, g, area) => `The write to the DDR${g} ${area} area on ${port} did not finish: the module may be partly written`,
    lost: 'Lost the workbench, trying again…', unreachable: 'Cannot reach the workbench: is dimmwand-ui still running?',
    too_big: 'The file is larger than 64 KiB: not an SPD image', same: 'The images are the same',
    differ: (n, b) => `${n} runs differ, ${b} bytes`, need_two: 'Comparing needs another open image',
    need_kit: 'A kit needs at least two open images', confirm_faster: 'Raise the base rate all the same?',
    confirm_voltage: 'Will the board set this voltage? Make the profile the base all the same?',
    no_image: 'Open an image first', nothing_changed: 'nothing changed', bytes_word: 'bytes',
    close_unsaved: (name) => `${name} has edits not downloaded or written. Close it all the same?`,
    reg_no_checksums: 'The REG area has no checksums',
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
  for (const el of document.querySelectorAll('[data-t-title]')) el.title = t(el.dataset.tTitle);
  document.title = t('title');
}
