// Prints the one-character surname dictionary of the npm package pinyin (the
// table its surname mode reads) as UTF-8 lines for tools/pinyin_dictionary.py:
//   surname<TAB>name<TAB>reading
// The package does not export the table, so it is taken from the text of its
// ES module build, where it stands as `var SurnamePinyinData = { ... };`.
// Usage: node tools/pinyin_surnames_export.mjs PATH/TO/node_modules/pinyin
import { readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { runInNewContext } from 'node:vm';

const root = resolve(process.argv[2] ?? 'node_modules/pinyin');
const text = readFileSync(join(root, 'lib/esm/pinyin.js'), 'utf8');
const start = text.indexOf('var SurnamePinyinData = {');
const end = text.indexOf('\n};', start);
if (start < 0 || end < 0) {
  process.stderr.write(`no SurnamePinyinData table in ${root}/lib/esm/pinyin.js\n`);
  process.exit(1);
}
const literal = text.slice(text.indexOf('{', start), end + 2);
const surnames = runInNewContext(`(${literal})`);

const lines = [];
for (const [name, readings] of Object.entries(surnames)) {
  // readings: one list per character; the first reading of the one character.
  if ([...name].length !== 1 || readings.length !== 1) {
    process.stderr.write(`unexpected surname entry ${name}: ${JSON.stringify(readings)}\n`);
    process.exit(1);
  }
  lines.push(`surname\t${name}\t${readings[0].join(' ')}`);
}
process.stdout.write(lines.join('\n') + '\n');
